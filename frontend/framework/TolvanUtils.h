// Small helpers shared by the front end's framework and product layers.
#pragma once

#include <cstdint>

#include <QLocale>
#include <QString>

namespace tolvan {

// The line that frames sections of the recovery log, the setting
// information and the saved log: 56 hyphens.
inline constexpr char kSeparatorLine[] = "--------------------------------------------------------";

// The program file's name without its extension: the last path component,
// cut at its last dot only when the last dot or slash of the path is a dot.
// "/opt/Other.Name.exe" gives "Other.Name", "/opt/app.d/tolvan" "tolvan".
QString ProgramBaseName(const QString& programPath);

// A spin field's value as the integer it stands for (halves away from 0).
int32_t RoundToInt(double value);

// A whole number with the locale's thousands separators and no decimals,
// as the log and the saved report print byte counts ("1,234,567").
QString WholeNumberText(qlonglong value, const QLocale& locale = QLocale());

// Orders names as a person reads them: runs of digits compare by their
// number, so "sda2" comes before "sda10". Ties fall back to plain order.
bool NaturalLess(const QString& left, const QString& right);

}  // namespace tolvan
