// Small text helpers the checks of store text across a boundary share:
// bytes seen as text, ASCII case, and the name a header field line opens
// with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace varrow {

// Header field names longer than this are taken for text.
constexpr size_t kLongestFieldName = 76;

inline std::string_view AsText(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

inline bool IsAsciiLetter(uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

inline char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// The field name a header line opens with: a letter, then letters, digits
// and hyphens, at most kLongestFieldName in all, directly followed by a
// colon. Empty for a line that is no field.
inline std::string_view FieldName(std::string_view line) {
    if (line.empty() || !IsAsciiLetter(static_cast<uint8_t>(line[0]))) return {};
    size_t length = 1;
    while (length < line.size() && length <= kLongestFieldName &&
           (IsAsciiLetter(static_cast<uint8_t>(line[length])) ||
            (line[length] >= '0' && line[length] <= '9') || line[length] == '-')) {
        ++length;
    }
    if (length > kLongestFieldName || length >= line.size() || line[length] != ':') return {};
    return line.substr(0, length);
}

}  // namespace varrow
