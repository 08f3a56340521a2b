// Path operations on 8-bit path strings.
//
// The separators are the platform's ('/' on POSIX; backslash and colon on
// Windows); a dot marks an extension. Searches step over the characters of
// the system's path text (see base/path_text.h), so the second byte of
// a double-byte character is never taken for a separator or a dot.
#pragma once

#include <string>

#include "base/path_text.h"

namespace varrow {

using platform::kPathSeparator;

// The path with one separator at its end ("" gives the separator alone).
std::string AddTrailingBackslash(const std::string& path);
// Up to and including the last separator; empty when there is none.
std::string GetPathDirectory(const std::string& path);
// After the last separator; the whole path when there is none.
std::string GetPathFileName(const std::string& path);
// The extension with its dot when the last dot comes after the last
// separator, else empty.
std::string GetPathExtension(const std::string& path);
// The path without the extension that GetPathExtension gives.
std::string RemovePathExtension(const std::string& path);
// GetPathFileName of RemovePathExtension.
std::string GetPathTitle(const std::string& path);

// The absolute form of a POSIX path, resolved against currentDirectory and
// normalised lexically ("." and ".." removed, repeated '/' joined); a
// trailing '/' is kept. The path need not exist. Empty when path is empty,
// or when it is relative and currentDirectory is empty.
std::string AbsolutePath(const std::string& path, const std::string& currentDirectory);

}  // namespace varrow
