// The report as comma-separated values, the same file the command line
// writes with --report: a title row, then one row per handled copy.
#pragma once

#include <QByteArray>
#include <QStringList>

#include "RunReport.h"

namespace tolvan {

// One record of fields, RFC 4180 style: joined by commas, a field quoted
// when it holds a comma, a quote, CR or LF (quotes doubled), a field that
// a spreadsheet would take for a formula (=, +, -, @, tab or CR first)
// led by a quote mark; ended by CR LF. UTF-8.
QByteArray CsvRecord(const QStringList& fields);

// The whole report: with records the columns of the command line's
// report, without them the report cells as they came.
QByteArray ReportCsv(const TRunReport& report);

}  // namespace tolvan
