// Small text helpers the checks of store text across a boundary share:
// bytes seen as text, the last line feed before a place, where after's
// whole lines begin, and the name a header field line opens with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#include "base/ascii_case.h"

namespace varrow {

// Header field names longer than this are taken for text.
constexpr size_t kLongestFieldName = 76;

inline std::string_view AsText(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

inline bool IsAsciiLetter(uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// Where the last line feed of text before position end lies (npos for
// none). Walks back through whole messages, so it uses the C library's
// memrchr where there is one: it reads many bytes at a time, rfind one.
inline size_t LastFeedBefore(std::string_view text, size_t end) {
    if (end == 0) return std::string_view::npos;  // empty text may have no data pointer
#if defined(__GLIBC__)
    const void* feed = memrchr(text.data(), '\n', end);
    return feed == nullptr ? std::string_view::npos
                           : static_cast<size_t>(static_cast<const char*>(feed) - text.data());
#else
    return text.rfind('\n', end - 1);
#endif
}

// After from its first whole line on: the line a boundary cuts is not
// whole, unless before ends with its own line end, where it cuts none.
inline std::string_view FromFirstWholeLine(std::string_view before, std::string_view after) {
    if (!before.empty() && before.back() == '\n') return after;
    const size_t feed = after.find('\n');
    return feed == std::string_view::npos ? std::string_view() : after.substr(feed + 1);
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
