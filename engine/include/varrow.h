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
/* varrow.dll exports by ordinal only (varrow.def), so nothing is marked for
 * export by name; VARROW_STATIC is for programs that link the engine in. */
#if defined(VARROW_BUILDING_LIBRARY) || defined(VARROW_STATIC)
#define VARROW_API
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
/* Sent only with VARROW_OPTION_RECORDS: */
#define EV_MESSAGE_RECORD 60  /* a VarrowMessageRecord: one handled copy of a message */
#define EV_TOTALS 61          /* a VarrowTotals, once, before the last EV_PROGRESS */

/* Options word: bit 0 starts rollover subfolders; bits 1..7 choose the
 * behaviours below; bits 16..31 hold the number of entries per output
 * folder (0 means 10000). Bits 8..15 are ignored. With bits 1..15 clear the
 * engine behaves exactly as it always did. */
#define VARROW_OPTION_NEW_FOLDER 0x00000001u
/* Links the blocks of each store apart from those of other stores (by
 * where each piece of a store lies on the source), and takes data and
 * headers that cross a cluster boundary of a fragmented store from the
 * store's next cluster. Without it blocks are keyed by their store offset
 * alone across the whole source. */
#define VARROW_OPTION_STORE_AWARE 0x00000002u
/* Sends EV_MESSAGE_RECORD for every handled copy of a message and
 * EV_TOTALS before the last EV_PROGRESS. */
#define VARROW_OPTION_RECORDS 0x00000004u
/* A copy whose bytes equal a message already written in this run is not
 * written again; its record names the first one. */
#define VARROW_OPTION_SKIP_IDENTICAL 0x00000008u
/* A copy of which no byte could be read is not written, and a source that
 * stops answering for a long stretch ends the run with an error. */
#define VARROW_OPTION_SOURCE_HEALTH 0x00000010u
/* Names files after the decoded Subject: header field (RFC 2047 encoded
 * words and 8-bit subjects turned into UTF-8) instead of the raw line. */
#define VARROW_OPTION_READABLE_NAMES 0x00000020u
/* Sets each written file's modification time to its Date: header field. */
#define VARROW_OPTION_FILE_DATES 0x00000040u
/* A source file that is a disk image (EWF E01/S01, AFF, VMDK, VHD/VHDX, or
 * the first file of a split raw set: .001, .002...) is read as the media it
 * holds, where the engine was built with its image libraries; a plain file
 * or device is read as before. EV_LOG lines name the source's format and
 * media size right after it was opened. Without it every file is read as
 * the bytes it holds. */
#define VARROW_OPTION_IMAGE_FORMATS 0x00000080u
/* Every behaviour above; what the command line and the window use. */
#define VARROW_OPTIONS_BEST                                                                  \
    (VARROW_OPTION_STORE_AWARE | VARROW_OPTION_RECORDS | VARROW_OPTION_SKIP_IDENTICAL |      \
     VARROW_OPTION_SOURCE_HEALTH | VARROW_OPTION_READABLE_NAMES | VARROW_OPTION_FILE_DATES | \
     VARROW_OPTION_IMAGE_FORMATS)

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

/* What became of one copy of a message (VarrowMessageRecord.outcome). */
#define VARROW_COPY_WRITTEN 0    /* placed at path */
#define VARROW_COPY_DUPLICATE 1  /* the same bytes as an earlier copy; not written */
#define VARROW_COPY_FAILED 2     /* could not be written (Error 4 or Error 6) */
#define VARROW_COPY_EMPTY 3      /* no byte of it could be read; not written */

/* How the chain of a message's blocks ended (VarrowMessageRecord.chainEnd). */
#define VARROW_END_COMPLETE 0          /* at a next offset of 0 */
#define VARROW_END_NEXT_MISSING 1      /* the next block was not found */
#define VARROW_END_LOOP 2              /* the next offset was already written */
#define VARROW_END_HEADER_UNREADABLE 3 /* a block header did not make sense */
#define VARROW_END_READ_ERROR 4        /* a block header could not be read */
#define VARROW_END_NOT_FOLLOWED 5      /* the copy failed before its chain was followed */

/* Why a message is incomplete or may be (VarrowMessageRecord.incomplete);
 * 0 when its chain ended at a next offset of 0, every block followed was
 * the only one that could follow, every byte was read and its text starts
 * as a message does: with a header line, in a header that names its sender
 * or its subject. */
#define VARROW_INCOMPLETE_BEGINNING 0x1u  /* the text does not start as a message does */
#define VARROW_INCOMPLETE_END 0x2u        /* the chain ended before its last block */
#define VARROW_INCOMPLETE_UNREADABLE 0x4u /* some bytes came from unreadable sectors */
#define VARROW_INCOMPLETE_UNCERTAIN 0x8u  /* a continuation was chosen among rivals without
                                           * proof: what follows may be another message's */

/* Where some of a message's bytes lie on the source. */
#define VARROW_RUN_ZEROS 0x1u /* not on the source: written as zeros */
typedef struct VarrowByteRun {
    uint64_t position; /* source position of the first byte */
    uint64_t length;   /* bytes */
    uint32_t flags;    /* VARROW_RUN_ZEROS or 0 */
    uint32_t padding;
} VarrowByteRun;

/* One handled copy of a message. Pointers are valid during the callback
 * only. size is the size of the record as the engine fills it; later
 * versions only add fields at the end. */
typedef struct VarrowMessageRecord {
    uint32_t size;
    uint32_t number;           /* the message number of the report */
    uint32_t copy;             /* 1 for the first copy of a number, 2 for the next... */
    uint32_t outcome;          /* VARROW_COPY_* */
    const char *path;          /* the file written; "" when none was */
    const char *subject;       /* as the log and the report show it */
    uint64_t bytes;            /* the message's size */
    const uint64_t *blocks;    /* source position of each block header, in chain order */
    uint32_t blockCount;
    uint32_t chainEnd;         /* VARROW_END_* */
    const VarrowByteRun *runs; /* where the bytes of the message lie, in order */
    uint32_t runCount;
    uint32_t incomplete;       /* VARROW_INCOMPLETE_* bits; 0 when complete */
    uint32_t startsWithHeader; /* 1 when the text starts as a message's header does */
    uint32_t unreadable;       /* 1 when bytes came from sectors that could not be read */
    uint32_t duplicateOfNumber; /* with VARROW_COPY_DUPLICATE: the copy it equals */
    uint32_t duplicateOfCopy;
    int64_t date;              /* the Date: field as seconds since 1970 UTC */
    uint32_t hasDate;          /* 0 when there is no Date: field that could be read */
    uint32_t reserved;
    const char *from;          /* the From: field, decoded as the subject; "" when none */
} VarrowMessageRecord;

/* The totals of a run. */
typedef struct VarrowTotals {
    uint32_t size;
    uint32_t stopped;            /* 1 when the front end stopped the run */
    uint64_t headsFound;         /* message numbers given */
    uint64_t copiesHandled;      /* records sent */
    uint64_t written;            /* files placed */
    uint64_t complete;           /* of those, complete */
    uint64_t incomplete;         /* of those, incomplete */
    uint64_t duplicatesSkipped;  /* copies equal to an earlier one, not written */
    uint64_t failed;             /* copies that could not be written */
    uint64_t empty;              /* copies of which nothing could be read, not written */
    uint64_t unreadableSectors;  /* sectors of the source that could not be read */
    uint32_t sourceFailed;       /* 1 when the source stopped answering and the run ended */
    uint32_t reserved;
    uint64_t uncertain;          /* of the incomplete, those whose one reason is
                                    VARROW_INCOMPLETE_UNCERTAIN: likely whole */
} VarrowTotals;

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
