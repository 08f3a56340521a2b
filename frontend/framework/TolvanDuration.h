// The two texts of the consumed time. Like the clock they were made from,
// both count hours of the day only: 25 hours show as 1 hour(s).
#pragma once

#include <cstdint>

#include <QString>

namespace tolvan {

// "0 hour(s) 2 minute(s) 5 second(s)" for labConsumedTime, which counts
// the seconds of a run.
QString ConsumedTimeText(int64_t milliseconds);

// The log line after a run: "Consumed time: 0 hour(s) 2 minute(s)
// 5 second(s) 30 millisecond(s)."
QString ConsumedTimeLine(int64_t milliseconds);

}  // namespace tolvan
