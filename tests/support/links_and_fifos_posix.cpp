#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "links_and_fifos.h"

namespace varrow::testing {

bool MakeLink(const std::string& target, const std::string& link, bool directory) {
    std::error_code error;
    if (directory) {
        std::filesystem::create_directory_symlink(target, link, error);
    } else {
        std::filesystem::create_symlink(target, link, error);
    }
    return !error;
}

const char* const kNoLinksReason = "this file system holds no symbolic links";

bool MakeFifo(const std::string& path) { return mkfifo(path.c_str(), 0600) == 0; }

}  // namespace varrow::testing
