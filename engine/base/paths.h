// Path operations on 8-bit path strings.
//
// The separator is '/'; a dot marks an extension. The names follow the
// engine's naming rules; they step over UTF-8 safely because no byte of a
// multi-byte character equals '/' or '.'.
#pragma once

#include <string>

namespace varrow {

inline constexpr char kPathSeparator = '/';

// The path with one separator at its end ("" gives "/").
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

// The absolute form of path, resolved against currentDirectory and
// normalised lexically ("." and ".." removed, repeated separators joined);
// a trailing separator is kept. The path need not exist. Empty when path is
// empty, or when it is relative and currentDirectory is empty.
std::string AbsolutePath(const std::string& path, const std::string& currentDirectory);

}  // namespace varrow
