#include "TolvanDuration.h"

namespace tolvan {

namespace {

struct Parts {
    int64_t hours, minutes, seconds, milliseconds;
};

Parts Split(int64_t milliseconds) {
    if (milliseconds < 0) milliseconds = 0;  // a clock that went back shows nothing
    return {milliseconds / 3600000 % 24, milliseconds / 60000 % 60, milliseconds / 1000 % 60,
            milliseconds % 1000};
}

}  // namespace

QString ConsumedTimeText(int64_t milliseconds) {
    const Parts parts = Split(milliseconds);
    return QStringLiteral("%1 hour(s) %2 minute(s) %3 second(s)").arg(parts.hours).arg(parts.minutes).arg(parts.seconds);
}

QString ConsumedTimeLine(int64_t milliseconds) {
    const Parts parts = Split(milliseconds);
    return QStringLiteral("Consumed time: %1 hour(s) %2 minute(s) %3 second(s) %4 millisecond(s).")
        .arg(parts.hours)
        .arg(parts.minutes)
        .arg(parts.seconds)
        .arg(parts.milliseconds);
}

}  // namespace tolvan
