#include "assembly/message_records.h"

#include <vector>

#include "assembly/completeness.h"
#include "base/run_events.h"
#include "link/chain_trace.h"

namespace varrow {

uint32_t CopyOutcome::Incomplete() const {
    if (!trace) return VARROW_INCOMPLETE_BEGINNING | VARROW_INCOMPLETE_END;
    return IncompleteReasons(*trace, startsWithHeader);
}

void RunTotals::Count(const CopyOutcome& copy) {
    ++copiesHandled;
    switch (copy.outcome) {
        case VARROW_COPY_WRITTEN: {
            ++written;
            const uint32_t reasons = copy.Incomplete();
            ++(reasons == 0 ? complete : incomplete);
            if (reasons == VARROW_INCOMPLETE_UNCERTAIN) ++uncertain;
            break;
        }
        case VARROW_COPY_DUPLICATE: ++duplicatesSkipped; break;
        case VARROW_COPY_FAILED: ++failed; break;
        case VARROW_COPY_EMPTY: ++empty; break;
        default: break;
    }
}

void SendMessageRecord(RunEvents& events, const CopyOutcome& copy) {
    std::vector<VarrowByteRun> runs;
    if (copy.trace) {
        runs.reserve(copy.trace->runs.size());
        for (const ByteRun& run : copy.trace->runs) {
            runs.push_back({run.position, run.length, run.zeros ? VARROW_RUN_ZEROS : 0u, 0});
        }
    }
    VarrowMessageRecord record{};
    record.size = sizeof record;
    record.number = copy.number;
    record.copy = copy.copy;
    record.outcome = copy.outcome;
    record.path = copy.path.c_str();
    record.subject = copy.subject.c_str();
    record.bytes = copy.bytes;
    record.blocks = copy.trace ? copy.trace->blocks.data() : nullptr;
    record.blockCount = copy.trace ? static_cast<uint32_t>(copy.trace->blocks.size()) : 0;
    record.chainEnd = static_cast<uint32_t>(copy.trace ? copy.trace->end : ChainEnd::NotFollowed);
    record.runs = runs.data();
    record.runCount = static_cast<uint32_t>(runs.size());
    record.incomplete = copy.Incomplete();
    record.startsWithHeader = copy.startsWithHeader ? 1 : 0;
    record.unreadable = copy.trace && copy.trace->unreadable ? 1 : 0;
    record.duplicateOfNumber = copy.duplicateOfNumber;
    record.duplicateOfCopy = copy.duplicateOfCopy;
    record.date = copy.date;
    record.hasDate = copy.hasDate ? 1 : 0;
    record.from = copy.from.c_str();
    events.Notify(EV_MESSAGE_RECORD, &record);
}

void SendTotals(RunEvents& events, const RunTotals& totals, bool stopped) {
    VarrowTotals sent{};
    sent.size = sizeof sent;
    sent.stopped = stopped ? 1 : 0;
    sent.headsFound = totals.headsFound;
    sent.copiesHandled = totals.copiesHandled;
    sent.written = totals.written;
    sent.complete = totals.complete;
    sent.incomplete = totals.incomplete;
    sent.uncertain = totals.uncertain;
    sent.duplicatesSkipped = totals.duplicatesSkipped;
    sent.failed = totals.failed;
    sent.empty = totals.empty;
    sent.unreadableSectors = totals.unreadableSectors;
    sent.sourceFailed = totals.sourceFailed ? 1 : 0;
    events.Notify(EV_TOTALS, &sent);
}

}  // namespace varrow
