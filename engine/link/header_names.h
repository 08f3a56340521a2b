// Header field names that a block boundary may cut in two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace varrow {

// A letter A-Z, a-z or '-'; every other byte ends a word.
inline bool IsWordChar(uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || byte == '-';
}

// Whether text is one of the 64 known message header field names,
// compared without regard to case.
bool IsKnownHeaderName(std::string_view text);

// The endings, in lower case, that turn tail into a known header name (tail
// followed by the ending, compared without regard to case); none when tail
// is empty or begins no known name.
std::vector<std::string> HeaderNameEndings(std::string_view tail);

// Whether word is a known header name without the first one or more of its
// bytes, compared without regard to case.
bool EndsKnownHeaderName(std::string_view word);

}  // namespace varrow
