// The one-line progress display of the command line on a terminal.
#pragma once

#include <cstdint>
#include <string>

namespace varrow::cli {

struct ProgressState {
    unsigned percent = 0;
    uint64_t bytesScanned = 0;
    uint64_t totalBytes = 0;  // 0 when unknown
    double elapsedSeconds = 0;
    bool writing = false;  // the scan is over and messages are being written
    uint64_t messagesWritten = 0;
};

// "42% | 1.2 GB of 2.0 GB | 812 MB/s | 0:01:03 left" while scanning, and
// "87% | 1234 messages written" while writing.
std::string FormatProgressLine(const ProgressState& state);

// A byte count in the largest unit that keeps it at least 1 ("1.2 GB").
std::string FormatBytes(double bytes);

}  // namespace varrow::cli
