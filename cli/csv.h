// Comma-separated values as RFC 4180 writes them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace varrow::cli {

// One record: fields joined by commas, each quoted when it holds a comma,
// a quote, a carriage return or a line feed (quotes doubled), ended by CRLF.
std::string CsvRecord(const std::vector<std::string>& fields);

// Writes a report row by row, each row flushed as it is written, so that a
// run that is killed leaves a valid report of what it wrote. Cells that a
// spreadsheet would take for formulas are made safe.
class CsvWriter {
public:
    explicit CsvWriter(std::ostream& out) : out_(out) {}
    void Row(const std::vector<std::string>& cells);
    bool Good() const { return static_cast<bool>(out_); }

private:
    std::ostream& out_;
};

}  // namespace varrow::cli
