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

#include "paths.h"
#include "platform/posix_os.h"

namespace varrow::platform {

namespace {

bool Fail(long* error) {
    if (error) *error = errno;
    return false;
}

bool CopyBytes(int from, int to, long* error) {
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        if (n == 0) return true;
        for (ssize_t done = 0; done < n;) {
            const ssize_t written = ::write(to, buffer.data() + done, static_cast<size_t>(n - done));
            if (written < 0) {
                if (errno == EINTR) continue;
                return Fail(error);
            }
            done += written;
        }
    }
}

bool WriteAll(int to, const uint8_t* bytes, size_t size, long* error) {
    for (size_t done = 0; done < size;) {
        const ssize_t written = ::write(to, bytes + done, size - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

// A regular file or a link at target may be replaced; anything else is
// refused.
bool CanReplace(const std::string& target, long* error) {
    struct stat existing {};
    if (lstat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISLNK(existing.st_mode)) {
        if (error) *error = S_ISDIR(existing.st_mode) ? EISDIR : EEXIST;
        return false;
    }
    return true;
}

// The bytes go to a hidden file beside the target, which then replaces the
// target in one step: a failed write never leaves a partial file under the
// target's name, and a link at the target is replaced, not followed.
template <typename Fill>
bool ReplaceThroughStaging(const std::string& target, long* error, Fill fill) {
    std::string staging = GetPathDirectory(target) + ".ostrel-copy-XXXXXX";
    const int to = mkostemp(staging.data(), O_CLOEXEC);
    if (to < 0) return Fail(error);
    bool written = fill(to);
    if (::close(to) != 0 && written) written = Fail(error);
    if (written && rename(staging.c_str(), target.c_str()) != 0) written = Fail(error);
    if (!written) unlink(staging.c_str());
    return written;
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

bool PosixOs::CopyFile(const std::string& source, const std::string& target, long* error) {
    if (!CanReplace(target, error)) return false;
    const int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return Fail(error);
    const bool copied =
        ReplaceThroughStaging(target, error, [&](int to) { return CopyBytes(from, to, error); });
    ::close(from);
    return copied;
}

bool PosixOs::WriteNewContent(const std::string& target, const uint8_t* bytes, size_t size, long* error) {
    if (!CanReplace(target, error)) return false;
    return ReplaceThroughStaging(target, error, [&](int to) { return WriteAll(to, bytes, size, error); });
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
