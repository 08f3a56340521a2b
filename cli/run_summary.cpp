#include "run_summary.h"

#include <algorithm>
#include <cstddef>

#include "signals.h"

namespace varrow::cli {

namespace {

std::string Count(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// "320 complete, 16 incomplete"; when some messages are only uncertain
// where a continuation was chosen, they are told apart from the rest of the
// incomplete ones, as the report's "complete" column tells them:
// "320 complete, 6 incomplete, 10 uncertain".
std::string Completeness(const VarrowTotals& totals) {
    const bool counted = totals.size >= offsetof(VarrowTotals, uncertain) + sizeof totals.uncertain;
    const uint64_t uncertain = counted ? std::min(totals.uncertain, totals.incomplete) : 0;
    std::string text = std::to_string(totals.complete) + " complete, " +
                       std::to_string(totals.incomplete - uncertain) + " incomplete";
    if (uncertain != 0) text += ", " + std::to_string(uncertain) + " uncertain";
    return text;
}

}  // namespace

std::string SummaryLine(const VarrowTotals& totals) {
    std::string line = Count(totals.written, "message", "messages") + " written (" +
                       Completeness(totals) + "); " +
                       Count(totals.duplicatesSkipped, "identical copy", "identical copies") +
                       " not written again; " + std::to_string(totals.failed) + " failed";
    if (totals.empty != 0)
        line += "; " + Count(totals.empty, "copy", "copies") + " could not be read at all";
    if (totals.unreadableSectors != 0) {
        line += "; " + Count(totals.unreadableSectors, "sector", "sectors") +
                " of the source could not be read";
    }
    if (totals.sourceFailed) line += "; the source stopped answering";
    if (totals.stopped) line += "; stopped before the end";
    return line;
}

int ExitStatusOf(const VarrowTotals& totals) {
    if (totals.stopped) return kStoppedStatus;
    if (totals.written == 0 || totals.sourceFailed) return 1;
    if (totals.failed != 0 || totals.empty != 0) return 3;
    return 0;
}

}  // namespace varrow::cli
