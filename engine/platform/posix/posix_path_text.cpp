// Path text on POSIX: UTF-8, '/' between the parts.
#include "base/path_text.h"

namespace varrow::platform {

const char kPathSeparator = '/';
const std::string_view kPathSeparators = "/";

// No byte of a UTF-8 multi-byte character is below 0x80, so a byte-wise
// search never finds part of a character.
size_t CharacterLength(const std::string& /*text*/, size_t /*at*/) { return 1; }

// Drops a UTF-8 character that the cut would split: the lead byte of the
// last character that begins within three bytes before the cut tells how
// long it is. Bytes that are not UTF-8 are left alone.
std::string CutCharacters(const std::string& text, size_t length) {
    if (length >= text.size()) return text;
    for (size_t back = 1; back <= 3 && back <= length; ++back) {
        const auto byte = static_cast<unsigned char>(text[length - back]);
        if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const size_t sequence = byte < 0xC0 || byte >= 0xF8 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        return text.substr(0, sequence > back ? length - back : length);
    }
    return text.substr(0, length);
}

std::string NameFromUtf8(const std::string& utf8) { return utf8; }

}  // namespace varrow::platform
