#include "run_summary.h"

#include <cstddef>

#include "signals.h"

namespace varrow::cli {

namespace {

std::string Count(uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// How many of the incomplete messages are only uncertain where a
// continuation was chosen, when there are any and the engine counts them.
std::string UncertainPart(const VarrowTotals& totals) {
    const bool counted = totals.size >= offsetof(VarrowTotals, uncertain) + sizeof totals.uncertain;
    if (!counted || totals.uncertain == 0) return {};
    return ", " + std::to_string(totals.uncertain) + " of them only uncertain";
}

}  // namespace

std::string SummaryLine(const VarrowTotals& totals) {
    std::string line = Count(totals.written, "message", "messages") + " written (" +
                       std::to_string(totals.complete) + " complete, " +
                       std::to_string(totals.incomplete) + " incomplete" +
                       UncertainPart(totals) + "); " +
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
