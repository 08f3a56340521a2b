#include <windows.h>

#include "links_and_fifos.h"

namespace varrow::testing {

bool MakeLink(const std::string& target, const std::string& link, bool directory) {
    constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    const DWORD flags = kUnprivileged | (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    // Wine answers success and makes nothing: the link must be there.
    if (!CreateSymbolicLinkA(link.c_str(), target.c_str(), flags)) return false;
    const DWORD attributes = GetFileAttributesA(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

const char* const kNoLinksReason =
    "this system makes no symbolic links for this process (Wine's CreateSymbolicLinkA does nothing)";

// Windows' named pipes live in a namespace of their own, never in a folder.
bool MakeFifo(const std::string& /*path*/) { return false; }

}  // namespace varrow::testing
