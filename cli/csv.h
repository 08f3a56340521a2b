// Comma-separated values as RFC 4180 writes them.
#pragma once

#include <string>
#include <vector>

namespace varrow::cli {

// One record: fields joined by commas, each quoted when it holds a comma,
// a quote, a carriage return or a line feed (quotes doubled), ended by CRLF.
std::string CsvRecord(const std::vector<std::string>& fields);

}  // namespace varrow::cli
