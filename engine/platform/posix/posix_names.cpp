// Files and folders by name, memory pages, and the system Os itself.
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "base/paths.h"
#include "platform/posix/posix_os.h"

namespace varrow::platform {

namespace {

bool Fail(long* error) {
    if (error) *error = errno;
    return false;
}

}  // namespace

Os& SystemOs() {
    static PosixOs os;
    return os;
}

std::string PosixOs::CurrentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    if (!getcwd(buffer.data(), buffer.size())) return {};
    return buffer.data();
}

std::string PosixOs::FullPath(const std::string& path) { return AbsolutePath(path, CurrentDirectory()); }

size_t PosixOs::MaxPathLength() { return PATH_MAX - 1; }

std::string PosixOs::TempDirectory() {
    const char* fromEnvironment = std::getenv("TMPDIR");
    const std::string folder = (fromEnvironment && *fromEnvironment) ? fromEnvironment : "/tmp";
    return AddTrailingBackslash(folder);
}

std::string PosixOs::CreateTempFile(const std::string& folder, const std::string& prefix) {
    std::string pattern = folder + prefix + "XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

bool PosixOs::Exists(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0;
}

bool PosixOs::IsDirectory(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool PosixOs::IsSymbolicLink(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool PosixOs::CreateNewFile(const std::string& path, long* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return Fail(error);
    ::close(fd);
    return true;
}

bool PosixOs::CreateDirectory(const std::string& path, long* error) {
    if (mkdir(path.c_str(), 0777) != 0) return Fail(error);
    return true;
}

bool PosixOs::ListDirectory(const std::string& path,
                            const std::function<void(const std::string&)>& visit) {
    DIR* folder = opendir(path.c_str());
    if (!folder) return false;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") visit(name);
    }
    closedir(folder);
    return true;
}

bool PosixOs::DeleteFile(const std::string& path, long* error) {
    if (unlink(path.c_str()) != 0) return Fail(error);
    return true;
}

void* PosixOs::AllocatePages(size_t size) {
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

void PosixOs::FreePages(void* memory, size_t size) {
    if (memory) munmap(memory, size);
}

}  // namespace varrow::platform
