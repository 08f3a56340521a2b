// What the fuzz targets share: scratch folders that live as long as the
// process, and a check that turns a broken invariant into a crash that
// libFuzzer records together with its input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrel::fuzz {

// Prints what broke and aborts when ok is false.
void Check(bool ok, const std::string& what);

// A new folder in memory (/dev/shm) or else under the system's temporary
// folder, removed with everything in it when the process exits normally.
std::string MakeScratchRoot(const std::string& tag);

// Removes everything inside folder, leaving the folder itself.
void EmptyFolder(const std::string& folder);

// Every regular file and link below folder (at any depth), by full path.
std::vector<std::string> FilesBelow(const std::string& folder);

// True when path names an entry inside folder: below it lexically (no "."
// or ".." parts, no empty parts) and, where the entry's parent exists, once
// every link on the way is resolved.
bool LiesInside(const std::string& path, const std::string& folder);

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

}  // namespace ostrel::fuzz
