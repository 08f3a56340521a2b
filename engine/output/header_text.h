// Header field text as a person reads it: RFC 2047 encoded words decoded,
// 8-bit bytes read in their likely character set, all of it UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace varrow {

// Decodes an unfolded header field value into UTF-8:
//  - encoded words (=?charset?B?...?= and =?charset?Q?...?=, with or without
//    a language suffix after '*') in any character set the system can
//    convert; the white space between two encoded words is dropped, and
//    adjacent words of one set are joined before they are converted, so a
//    character split between them survives;
//  - an encoded word that is malformed, or whose set or bytes cannot be
//    converted, stays as it stands;
//  - other bytes stay when they are valid UTF-8, and are otherwise read as
//    Windows-1252, Outlook Express's own on Western systems.
// The result is always valid UTF-8.
std::string DecodeHeaderText(const std::string& raw);

// Whether text is valid UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& text);

// The first length bytes of text, less a UTF-8 character that the cut
// would split. Bytes that are not UTF-8 are left alone.
std::string CutUtf8(const std::string& text, size_t length);

}  // namespace varrow
