#include "RunTally.h"

#include <cstddef>
#include <cstring>

#include "EngineRecords.h"
#include "varrow.h"

namespace tolvan {

namespace {

// The engine's numbered error texts that tell what became of a copy.
bool StartsWith(const void* text, const char* prefix) {
    return text != nullptr &&
           std::strncmp(static_cast<const char*>(text), prefix, std::strlen(prefix)) == 0;
}

}  // namespace

void TRunTally::Reset() { *this = TRunTally(); }

void TRunTally::Observe(int32_t code, const void* data) {
    switch (code) {
        case EV_REPORT_COLUMNS:
            if (data) columns_ = *static_cast<const int32_t*>(data);
            break;
        case EV_REPORT_CELL: ++cells_; break;
        case EV_ERROR:
            if (StartsWith(data, "Error 6:"))
                ++copyErrors_;
            else if (StartsWith(data, "Error 4:"))
                ++tempErrors_;
            else if (StartsWith(data, "Error 1:"))
                openError_ = true;
            else
                runError_ = true;
            break;
        case EV_MESSAGE_RECORD: {
            const auto* record = static_cast<const VarrowMessageRecord*>(data);
            if (!HasRecordField(record, &VarrowMessageRecord::incomplete)) break;
            ++records_;
            switch (record->outcome) {
                case VARROW_COPY_WRITTEN:
                    ++fromRecords_.written;
                    ++(record->incomplete ? fromRecords_.incomplete : fromRecords_.complete);
                    if (record->incomplete == VARROW_INCOMPLETE_UNCERTAIN) ++fromRecords_.uncertain;
                    break;
                case VARROW_COPY_DUPLICATE: ++fromRecords_.duplicates; break;
                case VARROW_COPY_FAILED: ++fromRecords_.failed; break;
                case VARROW_COPY_EMPTY: ++fromRecords_.empty; break;
                default: break;
            }
            break;
        }
        case EV_TOTALS: {
            const auto* totals = static_cast<const VarrowTotals*>(data);
            if (!HasRecordField(totals, &VarrowTotals::sourceFailed)) break;
            haveTotals_ = true;
            totals_.fromRecords = true;
            totals_.found = totals->copiesHandled;
            totals_.written = totals->written;
            totals_.complete = totals->complete;
            totals_.incomplete = totals->incomplete;
            // An engine that does not count them leaves the records' count.
            totals_.uncertain = HasRecordField(totals, &VarrowTotals::uncertain) ? totals->uncertain
                                                                                : fromRecords_.uncertain;
            totals_.duplicates = totals->duplicatesSkipped;
            totals_.failed = totals->failed;
            totals_.empty = totals->empty;
            totals_.unreadableSectors = totals->unreadableSectors;
            totals_.sourceFailed = totals->sourceFailed != 0;
            break;
        }
        default: break;
    }
}

uint64_t TRunTally::MessagesHandled() const {
    if (records_ > 0) return records_;
    if (columns_ <= 0) return 0;
    const uint64_t groups = cells_ / static_cast<uint64_t>(columns_);
    return groups > 0 ? groups - 1 : 0;  // the first group holds the column titles
}

TRunTotals TRunTally::Totals() const {
    if (haveTotals_) {
        TRunTotals totals = totals_;
        totals.sourceFailed = totals.sourceFailed || openError_;
        totals.engineError = runError_;
        return totals;
    }
    if (records_ > 0) {
        TRunTotals totals = fromRecords_;
        totals.fromRecords = true;
        totals.found = records_;
        totals.sourceFailed = openError_;
        totals.engineError = runError_;
        return totals;
    }
    // Without records: every report row is a handled copy, and every
    // "Error 6" a row whose file could not be placed; an "Error 4" copy
    // has no row at all.
    TRunTotals totals;
    totals.found = MessagesHandled();
    totals.written = totals.found > copyErrors_ ? totals.found - copyErrors_ : 0;
    totals.failed = copyErrors_ + tempErrors_;
    totals.sourceFailed = openError_;
    totals.engineError = runError_;
    return totals;
}

}  // namespace tolvan
