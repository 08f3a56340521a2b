// How the system's path strings are made: which bytes separate the parts
// of a path, and which bytes form one character. Declared here for the
// path operations; each platform defines them (platform/posix/ and
// platform/win32/, *_path_text.cpp): on POSIX paths are UTF-8 and '/'
// separates; on Windows they are in the ANSI code page, where a double-byte
// character's second byte may look like a backslash, and backslash and
// colon separate.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace varrow::platform {

// The separator that path operations put between a folder and a name.
extern const char kPathSeparator;
// Every byte that ends a folder part of a path.
extern const std::string_view kPathSeparators;

// The number of bytes of the character that begins at text[at] (at least
// 1, never past the end): searches step by it, so that no byte inside a
// character is taken for a separator, a dot or any other single byte.
size_t CharacterLength(const std::string& text, size_t at);

// The first length bytes of text, less a character that the cut would
// split.
std::string CutCharacters(const std::string& text, size_t length);

// A file name given in UTF-8 as the system's file functions take it;
// characters that the system's names cannot hold become '_'.
std::string NameFromUtf8(const std::string& utf8);

}  // namespace varrow::platform
