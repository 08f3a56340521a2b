#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "held_file.h"

namespace varrow::testing {

HeldFile::HeldFile(const std::string& path, Hold hold) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    if (flock(fd, hold == Hold::Exclusively ? LOCK_EX : LOCK_SH) != 0) {
        ::close(fd);
        return;
    }
    handle_ = fd;
}

HeldFile::~HeldFile() { Release(); }

void HeldFile::Release() {
    if (handle_ != kNone) ::close(static_cast<int>(handle_));
    handle_ = kNone;
}

}  // namespace varrow::testing
