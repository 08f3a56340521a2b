#include "TolvanUtils.h"

#include <cmath>
#include <limits>

namespace tolvan {

QString ProgramBaseName(const QString& programPath) {
    const qsizetype slash = programPath.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = programPath.lastIndexOf(QLatin1Char('.'));
    const QString withoutExtension = dot > slash ? programPath.left(dot) : programPath;
    return withoutExtension.mid(slash + 1);
}

int32_t RoundToInt(double value) {
    if (std::isnan(value)) return 0;
    constexpr double lowest = std::numeric_limits<int32_t>::min();
    constexpr double highest = std::numeric_limits<int32_t>::max();
    const double rounded = std::round(value);
    if (rounded <= lowest) return std::numeric_limits<int32_t>::min();
    if (rounded >= highest) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded);
}

QString WholeNumberText(qlonglong value, const QLocale& locale) {
    QLocale grouped = locale;
    grouped.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(value);
}

namespace {

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

bool NaturalLess(const QString& left, const QString& right) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < left.size() && j < right.size()) {
        if (IsDigit(left[i]) && IsDigit(right[j])) {
            // Compare the two digit runs by value: skip leading zeros, then
            // the longer run is the larger number, else the first differing
            // digit decides.
            qsizetype endLeft = i;
            while (endLeft < left.size() && IsDigit(left[endLeft])) ++endLeft;
            qsizetype endRight = j;
            while (endRight < right.size() && IsDigit(right[endRight])) ++endRight;
            qsizetype startLeft = i;
            while (startLeft + 1 < endLeft && left[startLeft] == QLatin1Char('0')) ++startLeft;
            qsizetype startRight = j;
            while (startRight + 1 < endRight && right[startRight] == QLatin1Char('0')) ++startRight;
            const qsizetype lengthLeft = endLeft - startLeft;
            const qsizetype lengthRight = endRight - startRight;
            if (lengthLeft != lengthRight) return lengthLeft < lengthRight;
            for (qsizetype k = 0; k < lengthLeft; ++k) {
                if (left[startLeft + k] != right[startRight + k])
                    return left[startLeft + k] < right[startRight + k];
            }
            i = endLeft;
            j = endRight;
            continue;
        }
        if (left[i] != right[j]) return left[i] < right[j];
        ++i;
        ++j;
    }
    if (i < left.size() || j < right.size()) return j < right.size();
    return left < right;
}

}  // namespace tolvan
