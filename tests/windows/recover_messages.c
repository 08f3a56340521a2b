/* Calls varrow.dll the way the Windows front end does: loaded at run time,
 * its functions found by ordinal only (a look-up by name must fail), a
 * masked record (24 bytes on 32-bit Windows) and callbacks with the Windows
 * API calling convention. Exits non-zero on a mismatch.
 *
 * Usage: recover_messages PATH-OF-varrow.dll
 * (run with --hold FILE EVENT, it is the other process that holds FILE
 * open without sharing until it is ended). */
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "varrow.h"

#if !defined(_WIN64)
_Static_assert(sizeof(RecoveryParams) == 24, "the record is 24 bytes on 32-bit Windows");
#endif

typedef int32_t(VARROW_CALL *RecoverMessagesFunction)(const RecoveryParams *masked);
typedef int32_t(VARROW_CALL *GetDeviceLengthFunction)(intptr_t handle, uint64_t *length);
typedef int32_t(VARROW_CALL *GetVolumeSizeFunction)(const char *root, uint64_t *size);

#define MAX_EVENTS 256

typedef struct {
    int count;
    int codes[MAX_EVENTS];
    char texts[MAX_EVENTS][512];
} Events;

static int failures = 0;

#define CHECK(condition)                                                                  \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                                   \
        }                                                                                 \
    } while (0)

static RecoverMessagesFunction recoverMessages;

static int32_t VARROW_CALL record(int32_t code, void *data, void *userData) {
    Events *events = (Events *)userData;
    if (events->count < MAX_EVENTS) {
        int i = events->count++;
        events->codes[i] = code;
        events->texts[i][0] = '\0';
        if (code == EV_PROGRESS)
            snprintf(events->texts[i], sizeof events->texts[i], "%u", *(unsigned char *)data);
        else if (code == EV_REPORT_COLUMNS)
            snprintf(events->texts[i], sizeof events->texts[i], "%d", (int)*(int32_t *)data);
        else if (data)
            snprintf(events->texts[i], sizeof events->texts[i], "%s", (const char *)data);
    }
    return 0;
}

static int32_t recover(const char *source, const char *dest, int32_t reserved, EngineCallback callback,
                       Events *events) {
    RecoveryParams params, masked, before;
    unsigned char *bytes = (unsigned char *)&masked;
    size_t i;
    memset(&params, 0, sizeof params);
    params.sourcePath = source;
    params.reserved = reserved;
    params.options = 0;
    params.destFolder = dest;
    params.callback = callback;
    params.userData = events;
    memcpy(&masked, &params, sizeof params);
    for (i = 0; i < sizeof masked; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    before = masked;
    int32_t result = recoverMessages(&masked);
    CHECK(memcmp(&before, &masked, sizeof masked) == 0); /* the caller's record stays */
    return result;
}

static int find(const Events *events, int code, const char *text) {
    int i;
    for (i = 0; i < events->count; ++i)
        if (events->codes[i] == code && strcmp(events->texts[i], text) == 0) return i;
    return -1;
}

static void put_le32(unsigned char *at, uint32_t value) {
    int i;
    for (i = 0; i < 4; ++i) at[i] = (unsigned char)(value >> (8 * i));
}

static int write_file(const char *path, const void *bytes, DWORD size) {
    DWORD written = 0;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    BOOL ok = WriteFile(file, bytes, size, &written, NULL) && written == size;
    CloseHandle(file);
    return ok;
}

/* The other process: holds the file open without sharing, says so through
 * the event, and waits to be ended. */
static int hold(const char *path, const char *eventName) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              NULL);
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName);
    if (file == INVALID_HANDLE_VALUE || !ready) return 2;
    SetEvent(ready);
    Sleep(INFINITE);
    return 0;
}

/* Starts this program again to hold path; NULL when it cannot. */
static HANDLE start_holder(const char *path) {
    char self[MAX_PATH], command[3 * MAX_PATH], eventName[64];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    snprintf(eventName, sizeof eventName, "ostrel-capi-held-%lu", (unsigned long)GetCurrentProcessId());
    HANDLE ready = CreateEventA(NULL, TRUE, FALSE, eventName);
    GetModuleFileNameA(NULL, self, sizeof self);
    snprintf(command, sizeof command, "\"%s\" --hold \"%s\" %s", self, path, eventName);
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    if (!ready || !CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return NULL;
    CloseHandle(process.hThread);
    HANDLE waitFor[2] = {ready, process.hProcess};
    DWORD woke = WaitForMultipleObjects(2, waitFor, FALSE, 60000);
    CloseHandle(ready);
    if (woke != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return NULL;
    }
    return process.hProcess;
}

int main(int argc, char **argv) {
    if (argc == 4 && strcmp(argv[1], "--hold") == 0) return hold(argv[2], argv[3]);
    if (argc != 2) {
        fprintf(stderr, "usage: %s PATH-OF-varrow.dll\n", argv[0]);
        return 2;
    }

    HMODULE engine = LoadLibraryA(argv[1]);
    if (!engine) {
        fprintf(stderr, "cannot load %s (error %lu)\n", argv[1], (unsigned long)GetLastError());
        return 2;
    }
    /* By ordinal only: no name is exported. */
    CHECK(GetProcAddress(engine, "RecoverMessages") == NULL);
    CHECK(GetProcAddress(engine, "GetDeviceLength") == NULL);
    CHECK(GetProcAddress(engine, "GetVolumeSize") == NULL);
    CHECK(GetProcAddress(engine, "_RecoverMessages@4") == NULL);
    recoverMessages = (RecoverMessagesFunction)(void *)GetProcAddress(engine, MAKEINTRESOURCEA(1));
    GetDeviceLengthFunction getDeviceLength =
        (GetDeviceLengthFunction)(void *)GetProcAddress(engine, MAKEINTRESOURCEA(2));
    GetVolumeSizeFunction getVolumeSize = (GetVolumeSizeFunction)(void *)GetProcAddress(engine, MAKEINTRESOURCEA(3));
    CHECK(GetProcAddress(engine, MAKEINTRESOURCEA(4)) == NULL);
    if (!recoverMessages || !getDeviceLength || !getVolumeSize) {
        fprintf(stderr, "ordinals 1 to 3 are not all there\n");
        return 1;
    }

    char temp[MAX_PATH], folder[MAX_PATH], missing[MAX_PATH + 32], locked[MAX_PATH + 32], image[MAX_PATH + 32];
    char expected[2048];
    GetTempPathA(sizeof temp, temp);
    snprintf(folder, sizeof folder, "%sostrel-capi-%lu", temp, (unsigned long)GetCurrentProcessId());
    if (!CreateDirectoryA(folder, NULL)) return 2;
    snprintf(missing, sizeof missing, "%s\\missing.img", folder);
    snprintf(locked, sizeof locked, "%s\\locked.img", folder);
    snprintf(image, sizeof image, "%s\\image.img", folder);

    /* An empty destination: two events, nothing else. */
    static Events e, m, l, g, r;
    CHECK(recover(missing, "", 0, record, &e) == 0);
    CHECK(e.count == 2);
    CHECK(e.codes[0] == EV_ERROR && strcmp(e.texts[0], "Error 7: Invalid destination directory.") == 0);
    CHECK(e.codes[1] == EV_ALERT &&
          strcmp(e.texts[1], "Destination directory '' is invalid. Please try to use another directory.") == 0);

    /* A missing source in an existing folder. */
    snprintf(expected, sizeof expected, "Error 1: Cannot open the file to be repaired. %s was not found.", missing);
    CHECK(recover(missing, folder, 0, record, &m) == 0);
    CHECK(m.count == 4);
    CHECK(m.codes[0] == EV_PROGRESS && strcmp(m.texts[0], "0") == 0);
    CHECK(m.codes[1] == EV_SOURCE && strcmp(m.texts[1], missing) == 0);
    CHECK(m.codes[2] == EV_ERROR && strcmp(m.texts[2], expected) == 0);
    CHECK(m.codes[3] == EV_PROGRESS && strcmp(m.texts[3], "100") == 0);

    /* A source that another process holds open without sharing. */
    CHECK(write_file(locked, "data", 4));
    HANDLE holder = start_holder(locked);
    CHECK(holder != NULL);
    if (holder) {
        CHECK(recover(locked, folder, 0, record, &l) == 0);
        CHECK(l.count == 5);
        snprintf(expected, sizeof expected,
                 "Error 1: Cannot open the file to be repaired. A sharing violation occurred while accessing %s.",
                 locked);
        CHECK(l.codes[2] == EV_ERROR && strcmp(l.texts[2], expected) == 0);
        snprintf(expected, sizeof expected,
                 "Share violation when opening the source file '%s'.\nPlease close any other applications "
                 "accessing the file and try again.",
                 locked);
        CHECK(l.codes[3] == EV_ALERT && strcmp(l.texts[3], expected) == 0);
        CHECK(l.codes[4] == EV_PROGRESS && strcmp(l.texts[4], "100") == 0);
        TerminateProcess(holder, 0);
        WaitForSingleObject(holder, 60000);
        CloseHandle(holder);
    }

    /* No callback at all, and a reserved field full of garbage. */
    CHECK(recover(locked, folder, 0, NULL, NULL) == 0);
    CHECK(recover(locked, folder, (int32_t)0xDEADBEEF, record, &g) == 0);
    CHECK(g.count == 6 && g.codes[2] == EV_REPORT_COLUMNS && strcmp(g.texts[2], "2") == 0);
    CHECK(strcmp(g.texts[3], "Message No.") == 0 && strcmp(g.texts[4], "Subject") == 0);

    /* One message block in an image: its text lands in "hello.eml". */
    static unsigned char blocks[4096];
    const char *text = "Subject: hello\r\n\r\nthe body";
    put_le32(blocks + 1024, 0x100);                   /* the block's own offset in its store */
    put_le32(blocks + 1024 + 4, 512);                 /* the size of its data area */
    put_le32(blocks + 1024 + 8, (uint32_t)strlen(text)); /* the bytes of the text in it */
    put_le32(blocks + 1024 + 12, 0);                  /* no next block */
    memcpy(blocks + 1024 + 16, text, strlen(text));
    CHECK(write_file(image, blocks, sizeof blocks));
    CHECK(recover(image, folder, 0, record, &r) == 1);
    int first = find(&r, EV_LOG, "Start processing message (No.1) ...");
    CHECK(first > 0 && find(&r, EV_REPORT_CELL, "hello") > first);
    CHECK(r.count > 0 && r.codes[r.count - 1] == EV_PROGRESS && strcmp(r.texts[r.count - 1], "100") == 0);
    char written[MAX_PATH + 32], content[64] = {0};
    DWORD got = 0;
    snprintf(written, sizeof written, "%s\\hello.eml", folder);
    HANDLE output = CreateFileA(written, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    CHECK(output != INVALID_HANDLE_VALUE);
    if (output != INVALID_HANDLE_VALUE) {
        ReadFile(output, content, sizeof content - 1, &got, NULL);
        CloseHandle(output);
        CHECK(got == strlen(text) && memcmp(content, text, got) == 0);
        DeleteFileA(written);
    }

    /* The size queries refuse invalid arguments and write nothing then. */
    uint64_t size = 5;
    CHECK(getDeviceLength(-1, &size) == 0 && size == 5);
    CHECK(getDeviceLength(0, &size) == 0 && size == 5);
    CHECK(getVolumeSize("C:\\", &size) == 1 && size > 0 && size != 5);
    size = 5;
    CHECK(getVolumeSize(NULL, &size) == 0 && size == 5);
    CHECK(recoverMessages(NULL) == 0);

    DeleteFileA(locked);
    DeleteFileA(image);
    RemoveDirectoryA(folder);
    FreeLibrary(engine);
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}
