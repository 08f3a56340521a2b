/*
 * varrow.h - the public interface of the Varrow recovery engine.
 *
 * The only header that the engine shares with its clients. Plain C, so that
 * any front end can include it. The engine exports exactly the three
 * functions declared here.
 */
#ifndef VARROW_H
#define VARROW_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define VARROW_CALL __stdcall
#else
#define VARROW_CALL
#endif

#if defined(_WIN32)
#if defined(VARROW_BUILDING_LIBRARY)
#define VARROW_API __declspec(dllexport)
#else
#define VARROW_API __declspec(dllimport)
#endif
#else
#define VARROW_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Event codes sent through EngineCallback; see the comment of each for what
 * its data pointer points to. */
#define EV_PROGRESS 0         /* one unsigned byte: percent done (0..100) */
#define EV_SOURCE 11          /* the source path exactly as passed */
#define EV_LOG 44             /* one log line; "-" alone asks for a separator */
#define EV_REPORT_CELL 45     /* the text of one report cell, row by row */
#define EV_QUERY_ABORT 51     /* null; a non-zero result means "stop" */
#define EV_ERROR 53           /* an error text */
#define EV_REPORT_COLUMNS 55  /* a 32-bit integer: the number of report columns */
#define EV_ALERT 200          /* a text for a message box */

/* Options word: bit 0 starts rollover subfolders; bit 1 links blocks store
 * by store; bits 16..31 hold the number of entries per output folder (0
 * means 10000). Bits 2..15 are ignored. */
#define VARROW_OPTION_NEW_FOLDER 0x00000001u
/* Links the blocks of each store apart from those of other stores (by
 * where each piece of a store lies on the source), and takes data and
 * headers that cross a cluster boundary of a fragmented store from the
 * store's next cluster. Without it blocks are keyed by their store offset
 * alone across the whole source. */
#define VARROW_OPTION_STORE_AWARE 0x00000002u

/* Every byte of a RecoveryParams record is XORed with this value before the
 * record is passed to RecoverMessages; the engine unmasks its own copy. */
#define VARROW_PARAMS_MASK 0xA5u

/* Receives every event of a recovery, synchronously, on the caller's thread.
 * data is valid only during the call. The result counts only after
 * EV_QUERY_ABORT. */
typedef int32_t(VARROW_CALL *EngineCallback)(int32_t code, void *data, void *userData);

/* The request for one recovery. Passed masked (see VARROW_PARAMS_MASK). */
typedef struct RecoveryParams {
    const char *sourcePath;  /* image file or device to scan */
    int32_t reserved;        /* always 0; never read */
    uint32_t options;        /* see the options word above */
    const char *destFolder;  /* the output folder; must exist */
    EngineCallback callback; /* may be null: no events, never stopped */
    void *userData;          /* handed back as the callback's third argument */
} RecoveryParams;

#if UINTPTR_MAX == 0xFFFFFFFFu
#define VARROW_PARAMS_SIZE 24
#else
#define VARROW_PARAMS_SIZE 40
#endif

#ifdef __cplusplus
static_assert(sizeof(RecoveryParams) == VARROW_PARAMS_SIZE, "RecoveryParams layout");
#else
_Static_assert(sizeof(RecoveryParams) == VARROW_PARAMS_SIZE, "RecoveryParams layout");
#endif

/* Runs one recovery. masked points to a RecoveryParams record of which every
 * byte was XORed with VARROW_PARAMS_MASK; the record itself is not changed.
 * Returns 1 when message output began (at least one message head was found),
 * 0 otherwise. */
VARROW_API int32_t VARROW_CALL RecoverMessages(const RecoveryParams *masked);

/* Writes the length in bytes of the disk open under handle (a file
 * descriptor on POSIX, a HANDLE on Windows) to *length. Returns 1 when it
 * was written, 0 otherwise; -1 and 0 are never valid handles. */
VARROW_API int32_t VARROW_CALL GetDeviceLength(intptr_t handle, uint64_t *length);

/* Writes the capacity in bytes of the file system mounted at root (its
 * total size, not its free space) to *size. Returns 1 when it was written,
 * 0 otherwise. */
VARROW_API int32_t VARROW_CALL GetVolumeSize(const char *root, uint64_t *size);

#ifdef __cplusplus
}
#endif

#endif /* VARROW_H */
