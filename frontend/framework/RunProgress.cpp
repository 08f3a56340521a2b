#include "RunProgress.h"

#include <algorithm>
#include <cmath>

#include <QLocale>

#include "TolvanUtils.h"

namespace tolvan {

namespace {

// A speed needs at least this much time between its two samples.
constexpr int64_t kShortestSpanMs = 500;

int64_t SecondsFor(double amount, double perSecond) {
    return static_cast<int64_t>(std::ceil(amount / perSecond));
}

}  // namespace

void TRunProgress::Start(int64_t nowMs, uint64_t sourceBytes) {
    *this = TRunProgress();
    sourceBytes_ = sourceBytes;
    lastSample_ = nowMs;
    points_.push_back({nowMs, 0, 0});
}

TProgressFigures TRunProgress::Sample(int64_t nowMs, int percent, uint64_t messages) {
    lastSample_ = nowMs;
    if (!writing_ && (percent > 50 || messages > 0)) {
        // The scan is over: the speeds of writing start afresh.
        writing_ = true;
        points_.clear();
    }
    uint64_t bytes = questions_ * kBytesPerQuestion;
    if (sourceBytes_ > 0 && (bytes > sourceBytes_ || writing_)) bytes = sourceBytes_;

    points_.push_back({nowMs, bytes, messages});
    while (points_.size() > 2 && points_[1].ms <= nowMs - kWindowMs) points_.pop_front();

    TProgressFigures figures;
    figures.writing = writing_;
    figures.bytesScanned = bytes;
    figures.sourceBytes = sourceBytes_;
    figures.messages = messages;
    const Point& oldest = points_.front();
    const int64_t span = nowMs - oldest.ms;
    if (span >= kShortestSpanMs) {
        const double seconds = static_cast<double>(span) / 1000.0;
        figures.bytesPerSecond =
            static_cast<double>(bytes - std::min(bytes, oldest.bytes)) / seconds;
        figures.messagesPerSecond =
            static_cast<double>(messages - std::min(messages, oldest.messages)) / seconds;
    }

    if (!writing_) {
        if (sourceBytes_ > 0 && figures.bytesPerSecond > 0)
            figures.secondsLeft =
                SecondsFor(static_cast<double>(sourceBytes_ - bytes), figures.bytesPerSecond);
    } else if (percent >= 100) {
        figures.secondsLeft = 0;
    } else if (percent > 50 && messages > 0 && figures.messagesPerSecond > 0) {
        // The second half of the gauge follows the messages in order, so
        // the messages still to come are in the same proportion.
        const double done = (percent - 50) / 50.0;
        const double remaining = static_cast<double>(messages) * (1.0 - done) / done;
        figures.secondsLeft = SecondsFor(remaining, figures.messagesPerSecond);
    }
    return figures;
}

QString ByteSizeText(uint64_t bytes) {
    static const char* const units[] = {"KB", "MB", "GB", "TB", "PB"};
    if (bytes < 1000) return QStringLiteral("%1 bytes").arg(bytes);
    double value = static_cast<double>(bytes) / 1000.0;
    size_t unit = 0;
    while (value >= 999.95 && unit + 1 < std::size(units)) {
        value /= 1000.0;
        ++unit;
    }
    return QLocale().toString(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString TimeLeftText(int64_t seconds) {
    seconds = std::max<int64_t>(seconds, 0);
    if (seconds < 60) return QStringLiteral("%1 s").arg(seconds);
    const QLatin1Char zero('0');
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, zero);
}

QString ProgressFiguresText(const TProgressFigures& figures) {
    QString text;
    if (!figures.writing) {
        text = QStringLiteral("Scanned %1").arg(ByteSizeText(figures.bytesScanned));
        if (figures.sourceBytes > 0)
            text += QStringLiteral(" of %1").arg(ByteSizeText(figures.sourceBytes));
        if (figures.bytesPerSecond > 0)
            text += QStringLiteral(" at %1/s")
                        .arg(ByteSizeText(static_cast<uint64_t>(figures.bytesPerSecond)));
        if (figures.secondsLeft >= 0)
            text += QStringLiteral(", about %1 left in the scan")
                        .arg(TimeLeftText(figures.secondsLeft));
        return text;
    }
    text = QStringLiteral("%1 message(s) found")
               .arg(WholeNumberText(static_cast<qlonglong>(figures.messages)));
    if (figures.messagesPerSecond > 0)
        text += QStringLiteral(", %1 messages/s")
                    .arg(WholeNumberText(std::llround(figures.messagesPerSecond)));
    if (figures.secondsLeft >= 0)
        text += QStringLiteral(", about %1 left").arg(TimeLeftText(figures.secondsLeft));
    return text;
}

}  // namespace tolvan
