// Header field names that a block boundary may cut in two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varrow {

// A letter A-Z, a-z or '-'; every other byte ends a word.
inline bool IsWordChar(uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || byte == '-';
}

// Whether text is one of the 64 known message header field names,
// compared without regard to case.
bool IsKnownHeaderName(std::string_view text);

}  // namespace varrow
