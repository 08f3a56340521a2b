// Path text on POSIX: UTF-8, '/' between the parts.
#include "header_text.h"
#include "platform/path_text.h"

namespace varrow::platform {

const char kPathSeparator = '/';
const std::string_view kPathSeparators = "/";

// No byte of a UTF-8 multi-byte character is below 0x80, so a byte-wise
// search never finds part of a character.
size_t CharacterLength(const std::string& /*text*/, size_t /*at*/) { return 1; }

std::string CutCharacters(const std::string& text, size_t length) { return CutUtf8(text, length); }

std::string NameFromUtf8(const std::string& utf8) { return utf8; }

}  // namespace varrow::platform
