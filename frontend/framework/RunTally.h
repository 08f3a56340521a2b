// What the events of one recovery say about how it went: how many messages
// were written, how many of them are incomplete, how many copies were
// skipped or could not be written, whether the source could be read. The
// engine's records and totals say it exactly when it sends them; without
// them the report cells and the error texts are counted instead.
#pragma once

#include <cstdint>

namespace tolvan {

struct TRunTotals {
    // True when the figures come from the engine's records or totals;
    // false when they were counted from report cells and error texts,
    // which do not tell complete from incomplete messages.
    bool fromRecords = false;
    uint64_t found = 0;       // copies handled (report rows without records)
    uint64_t written = 0;     // files placed
    uint64_t complete = 0;    // of those, complete (records only)
    uint64_t incomplete = 0;  // of those, incomplete (records only)
    uint64_t uncertain = 0;   // of the incomplete, only uncertain where a continuation was chosen
    uint64_t duplicates = 0;  // identical copies not written again
    uint64_t failed = 0;      // copies that could not be written
    uint64_t empty = 0;       // copies of which nothing could be read
    uint64_t unreadableSectors = 0;
    bool sourceFailed = false;  // the source could not be opened or stopped answering
    bool engineError = false;   // an error that ended the run ("Error 2", "Error 3", "Error 7")
};

class TRunTally {
public:
    // Forgets the previous run.
    void Reset();

    // Takes note of one engine event (any code; progress and the stop
    // question change nothing). Cheap: called for every event of a run.
    void Observe(int32_t code, const void* data);

    // Copies handled so far, for the progress panel.
    uint64_t MessagesHandled() const;

    TRunTotals Totals() const;

private:
    // From EV_TOTALS, once it came.
    bool haveTotals_ = false;
    TRunTotals totals_;
    // From EV_MESSAGE_RECORD.
    uint64_t records_ = 0;
    TRunTotals fromRecords_;
    // From the classic events (report columns and cells, errors).
    int32_t columns_ = 0;
    uint64_t cells_ = 0;
    uint64_t copyErrors_ = 0;  // "Error 6": a copy that could not be placed
    uint64_t tempErrors_ = 0;  // "Error 4": a copy without a temporary file
    bool openError_ = false;   // "Error 1": the source could not be opened
    bool runError_ = false;    // any other error text
};

}  // namespace tolvan
