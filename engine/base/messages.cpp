#include "base/messages.h"

#include <cstdio>
#include <vector>

namespace varrow {

namespace {

struct TableEntry {
    unsigned id;
    const char* text;
};

constexpr TableEntry kTable[] = {
    {5, "Start processing message (No.%u) ..."},
    {6, "Finish processing message (No.%u)."},
    {7, "Message size: %lu"},
    {8, "Message %lu"},
    {9, "Error 1: Cannot open the file to be repaired. %1"},
    {10, "Error 2: General error. %1"},
    {11, "Error 3: Unknown error."},
    {12, "Error 4: Cannot create temporary file."},
    {14, "Error 6: Cannot create message file."},
    {15,
     "Share violation when opening the source file '%s'.\n"
     "Please close any other applications accessing the file and try again."},
    {16, "Error 7: Invalid destination directory."},
    {17, "Destination directory '%s' is invalid. Please try to use another directory."},
    {18, "Recovered_Msg%lu"},
    {19, "Count of messages in current directory reaches the limit %lu."},
    {20, "Create a new sub directory %s under %s to accommodate the remaining recovered messages."},
    {21, "\\\\.\\PHYSICALDRIVE"},
    {22, "\\\\.\\"},
};

}  // namespace

const char* EngineText(unsigned id) {
    for (const TableEntry& entry : kTable) {
        if (entry.id == id) return entry.text;
    }
    return "";
}

std::string FormatTextV(const char* pattern, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), pattern, args);
    return std::string(buffer.data(), static_cast<size_t>(length));
}

std::string FormatText(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    std::string text = FormatTextV(pattern, args);
    va_end(args);
    return text;
}

std::string ReplacePlaceholder(const std::string& pattern, const std::string& replacement) {
    std::string result;
    size_t from = 0;
    for (size_t at = pattern.find("%1"); at != std::string::npos; at = pattern.find("%1", from)) {
        result.append(pattern, from, at - from);
        result += replacement;
        from = at + 2;
    }
    result.append(pattern, from, std::string::npos);
    return result;
}

}  // namespace varrow
