// The log lines that say what a source is: its format and its media size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varrow {

class CFile64Ex;

// "Source format: ..." and "Media size: ..." for an open source.
std::vector<std::string> DescribeSource(const CFile64Ex& source);

// A byte count as the log shows it: "4194304 bytes (4.0 MiB)".
std::string DescribeSize(uint64_t bytes);

}  // namespace varrow
