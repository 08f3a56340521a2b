#include "progress_line.h"

#include <cstdio>

namespace varrow::cli {

std::string FormatBytes(double bytes) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB"};
    int unit = 0;
    while (bytes >= 1000.0 && unit < 5) {
        bytes /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, kUnits[unit]);
    return text;
}

std::string FormatProgressLine(const ProgressState& state) {
    char text[160];
    if (state.writing) {
        std::snprintf(text, sizeof text, "%3u%% | %llu messages written", state.percent,
                      static_cast<unsigned long long>(state.messagesWritten));
        return text;
    }
    std::string line;
    std::snprintf(text, sizeof text, "%3u%% | %s", state.percent,
                  FormatBytes(static_cast<double>(state.bytesScanned)).c_str());
    line = text;
    if (state.totalBytes != 0) line += " of " + FormatBytes(static_cast<double>(state.totalBytes));
    if (state.elapsedSeconds > 0.5 && state.bytesScanned > 0) {
        const double rate = state.bytesScanned / state.elapsedSeconds;
        line += " | " + FormatBytes(rate) + "/s";
        if (state.totalBytes > state.bytesScanned) {
            const auto left = static_cast<unsigned long>((state.totalBytes - state.bytesScanned) / rate);
            std::snprintf(text, sizeof text, " | %lu:%02lu:%02lu left", left / 3600, left / 60 % 60,
                          left % 60);
            line += text;
        }
    }
    return line;
}

}  // namespace varrow::cli
