// ASCII case for the names and values of message header fields, which
// compare without regard to it.
#pragma once

#include <algorithm>
#include <string_view>

namespace varrow {

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

// Whether text starts with prefix, which is in lower case, ASCII case
// ignored in text.
inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char p, char t) { return p == LowerAscii(t); });
}

}  // namespace varrow
