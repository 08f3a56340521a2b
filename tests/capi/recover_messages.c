/* Calls the engine the way any client does: through varrow.h only, with a
 * masked record, against the shared library. Exits non-zero on a mismatch. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include "varrow.h"

#define MAX_EVENTS 64

typedef struct {
    int count;
    int codes[MAX_EVENTS];
    char texts[MAX_EVENTS][512];
} Events;

static int failures = 0;

#define CHECK(condition)                                                    \
    do {                                                                    \
        if (!(condition)) {                                                 \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                     \
        }                                                                   \
    } while (0)

static int32_t VARROW_CALL record(int32_t code, void *data, void *userData) {
    Events *events = (Events *)userData;
    if (events->count < MAX_EVENTS) {
        int i = events->count++;
        events->codes[i] = code;
        if (code == EV_PROGRESS)
            snprintf(events->texts[i], sizeof events->texts[i], "%u", *(unsigned char *)data);
        else if (code == EV_REPORT_COLUMNS)
            snprintf(events->texts[i], sizeof events->texts[i], "%d", *(int32_t *)data);
        else if (data)
            snprintf(events->texts[i], sizeof events->texts[i], "%s", (const char *)data);
    }
    return 0;
}

static int32_t recover(const char *source, const char *dest, int32_t reserved,
                       EngineCallback callback, Events *events) {
    RecoveryParams params, masked;
    unsigned char *bytes = (unsigned char *)&masked;
    memset(&params, 0, sizeof params);
    params.sourcePath = source;
    params.reserved = reserved;
    params.options = 0;
    params.destFolder = dest;
    params.callback = callback;
    params.userData = events;
    memcpy(&masked, &params, sizeof params);
    for (size_t i = 0; i < sizeof masked; ++i) bytes[i] ^= VARROW_PARAMS_MASK;
    RecoveryParams before = masked;
    int32_t result = RecoverMessages(&masked);
    CHECK(memcmp(&before, &masked, sizeof masked) == 0); /* the caller's record stays */
    return result;
}

int main(void) {
    char folder[] = "/tmp/ostrel-capi-XXXXXX";
    if (!mkdtemp(folder)) return 2;
    char missing[600], locked[600];
    snprintf(missing, sizeof missing, "%s/missing.img", folder);
    snprintf(locked, sizeof locked, "%s/locked.img", folder);

    /* An empty destination: two events, nothing else. */
    Events e = {0};
    CHECK(recover(missing, "", 0, record, &e) == 0);
    CHECK(e.count == 2);
    CHECK(e.codes[0] == EV_ERROR && strcmp(e.texts[0], "Error 7: Invalid destination directory.") == 0);
    CHECK(e.codes[1] == EV_ALERT);

    /* A missing source in an existing folder. */
    Events m = {0};
    char expected[1200];
    snprintf(expected, sizeof expected,
             "Error 1: Cannot open the file to be repaired. %s was not found.", missing);
    CHECK(recover(missing, folder, 0, record, &m) == 0);
    CHECK(m.count == 4);
    CHECK(m.codes[0] == EV_PROGRESS && strcmp(m.texts[0], "0") == 0);
    CHECK(m.codes[1] == EV_SOURCE && strcmp(m.texts[1], missing) == 0);
    CHECK(m.codes[2] == EV_ERROR && strcmp(m.texts[2], expected) == 0);
    CHECK(m.codes[3] == EV_PROGRESS && strcmp(m.texts[3], "100") == 0);

    /* A source that another program holds exclusively. */
    int fd = open(locked, O_CREAT | O_RDWR, 0600);
    CHECK(fd >= 0 && write(fd, "data", 4) == 4 && flock(fd, LOCK_EX) == 0);
    Events l = {0};
    CHECK(recover(locked, folder, 0, record, &l) == 0);
    snprintf(expected, sizeof expected,
             "Error 1: Cannot open the file to be repaired. A sharing violation occurred while "
             "accessing %s.", locked);
    CHECK(l.count == 5);
    CHECK(l.codes[2] == EV_ERROR && strcmp(l.texts[2], expected) == 0);
    snprintf(expected, sizeof expected,
             "Share violation when opening the source file '%s'.\nPlease close any other "
             "applications accessing the file and try again.", locked);
    CHECK(l.codes[3] == EV_ALERT && strcmp(l.texts[3], expected) == 0);
    CHECK(l.codes[4] == EV_PROGRESS && strcmp(l.texts[4], "100") == 0);
    close(fd);

    /* No callback at all, and a reserved field full of garbage. */
    CHECK(recover(locked, folder, 0, NULL, NULL) == 0);
    Events g = {0};
    CHECK(recover(locked, folder, (int32_t)0xDEADBEEF, record, &g) == 0);
    CHECK(g.count == 6 && g.codes[2] == EV_REPORT_COLUMNS && strcmp(g.texts[2], "2") == 0);
    CHECK(strcmp(g.texts[3], "Message No.") == 0 && strcmp(g.texts[4], "Subject") == 0);

    /* The size queries refuse invalid arguments. */
    uint64_t size = 5;
    CHECK(GetDeviceLength(-1, &size) == 0 && size == 5);
    CHECK(GetVolumeSize("/", &size) == 1 && size > 0);
    CHECK(RecoverMessages(NULL) == 0);

    unlink(locked);
    rmdir(folder);
    if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
    return failures ? 1 : 0;
}
