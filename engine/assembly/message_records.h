// What the engine tells about each handled copy of a message and about the
// run as a whole, beside the events every front end knows: a record per
// copy (EV_MESSAGE_RECORD) and the totals (EV_TOTALS).
#pragma once

#include <cstdint>
#include <string>

#include "varrow.h"

namespace varrow {

class RunEvents;
struct ChainTrace;

// One handled copy, as the record tells it.
struct CopyOutcome {
    uint32_t number = 0;
    uint32_t copy = 0;
    uint32_t outcome = VARROW_COPY_WRITTEN;
    std::string path;  // the file written; empty when none was
    std::string subject;
    uint64_t bytes = 0;
    const ChainTrace* trace = nullptr;  // null when the chain was not followed
    bool startsWithHeader = false;
    uint32_t duplicateOfNumber = 0;
    uint32_t duplicateOfCopy = 0;
    bool hasDate = false;
    int64_t date = 0;
    std::string from;

    // The VARROW_INCOMPLETE_* reasons; 0 for a complete message.
    uint32_t Incomplete() const;
};

// The counts of a run, filled as it goes.
struct RunTotals {
    uint64_t headsFound = 0;
    uint64_t copiesHandled = 0;
    uint64_t written = 0;
    uint64_t complete = 0;
    uint64_t incomplete = 0;
    uint64_t uncertain = 0;  // of the incomplete, only uncertain
    uint64_t duplicatesSkipped = 0;
    uint64_t failed = 0;
    uint64_t empty = 0;
    uint64_t unreadableSectors = 0;
    bool sourceFailed = false;

    void Count(const CopyOutcome& copy);
};

// Sends EV_MESSAGE_RECORD for the copy.
void SendMessageRecord(RunEvents& events, const CopyOutcome& copy);
// Sends EV_TOTALS; stopped tells whether the front end stopped the run.
void SendTotals(RunEvents& events, const RunTotals& totals, bool stopped);

}  // namespace varrow
