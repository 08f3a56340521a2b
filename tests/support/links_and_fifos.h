// Entries of a file system that are neither files nor folders, where the
// platform has them.
#pragma once

#include <string>

namespace varrow::testing {

// Makes a symbolic link at link that leads to target (a folder when
// directory is set); false where this system cannot make one for this
// process (Wine's CreateSymbolicLinkA does nothing; Windows lets only an
// administrator or a developer-mode user make them).
bool MakeLink(const std::string& target, const std::string& link, bool directory = false);
// The reason MakeLink gave false, for a test that skips because of it.
extern const char* const kNoLinksReason;

// Makes a FIFO (named pipe) at path; false where the file system has none
// (Windows).
bool MakeFifo(const std::string& path);

}  // namespace varrow::testing
