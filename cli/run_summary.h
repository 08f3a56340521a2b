// The closing line of a run and the program's exit status.
#pragma once

#include <string>

#include "varrow.h"

namespace varrow::cli {

// "336 messages written (320 complete, 6 incomplete, 10 uncertain); 24
// identical copies not written again; 0 failed", and what else the totals
// hold ("uncertain" only when there are such messages).
std::string SummaryLine(const VarrowTotals& totals);

// The exit status of a run the engine ended with these totals: 0 when every
// copy found was written (identical copies aside), 3 when some were and
// some were not, 1 when none was or the source stopped answering, 130
// after a stop.
int ExitStatusOf(const VarrowTotals& totals);

}  // namespace varrow::cli
