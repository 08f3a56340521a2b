// Output folders by handle: every name is looked up relative to an open
// folder and never through a link, and files are placed without replacing
// anything.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/posix_os.h"

namespace varrow::platform {

namespace {

// New message files are readable by others, as files made by any program
// are; the umask takes away what the user wants kept private.
constexpr mode_t kNewFileMode = 0644;

int Fd(Handle handle) { return static_cast<int>(handle); }

bool Fail(long* error) {
    if (error) *error = errno;
    return false;
}

// A name must be one component: "", ".", ".." and anything holding a
// separator would reach outside the folder.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
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

bool CopyBytes(int from, int to, long* error) {
    std::vector<uint8_t> buffer(1 << 16);
    for (;;) {
        const ssize_t n = ::read(from, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        if (n == 0) return true;
        if (!WriteAll(to, buffer.data(), static_cast<size_t>(n), error)) return false;
    }
}

// Writes the content into a file that has no name yet, then gives it the
// name in one step that fails when the name is taken. Nothing is left
// behind when the process dies in between. Returns nothing when the file
// system cannot do this, so that the caller stages under a name instead.
template <typename Fill>
std::optional<Os::Placement> PlaceUnnamed(int folder, const std::string& name, long* error,
                                          Fill fill) {
    const int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kNewFileMode);
    if (fd < 0) return std::nullopt;
    if (!fill(fd)) {
        ::close(fd);
        return Os::Placement::Failed;
    }
    // The unnamed file is reached through its descriptor's entry in /proc;
    // linking it needs no privilege that way.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int linked = ::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW);
    const int linkError = errno;
    if (::close(fd) != 0 && linked == 0) {
        // The bytes may not all have reached the file: take the name back.
        const long closeError = errno;
        ::unlinkat(folder, name.c_str(), 0);
        if (error) *error = closeError;
        return Os::Placement::Failed;
    }
    if (linked == 0) return Os::Placement::Placed;
    if (linkError == EEXIST) return Os::Placement::NameTaken;
    // Without /proc the file cannot be named: stage it under a name.
    if (linkError == ENOENT) return std::nullopt;
    if (error) *error = linkError;
    return Os::Placement::Failed;
}

// Moves staging to name unless name is taken: an atomic rename that never
// replaces where the file system has one, else a hard link, else a check
// followed by a rename (file systems without either, where another program
// could still take the name in the instant between).
Os::Placement NameWithoutReplacing(int folder, const std::string& staging, const std::string& name,
                                   long* error) {
    if (::renameat2(folder, staging.c_str(), folder, name.c_str(), RENAME_NOREPLACE) == 0) {
        return Os::Placement::Placed;
    }
    if (errno == EEXIST) return Os::Placement::NameTaken;
    if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        if (::linkat(folder, staging.c_str(), folder, name.c_str(), 0) == 0) {
            ::unlinkat(folder, staging.c_str(), 0);
            return Os::Placement::Placed;
        }
        if (errno == EEXIST) return Os::Placement::NameTaken;
        if (errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK) {
            struct stat existing {};
            if (::fstatat(folder, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
                return Os::Placement::NameTaken;
            }
            if (::renameat(folder, staging.c_str(), folder, name.c_str()) == 0)
                return Os::Placement::Placed;
        }
    }
    Fail(error);
    return Os::Placement::Failed;
}

// Stages the content under a name of this process, then names it.
template <typename Fill>
Os::Placement PlaceStaged(int folder, const std::string& name, long* error, Fill fill) {
    static std::atomic<unsigned> counter{0};
    std::string staging;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        staging = ".ostrel-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = ::openat(folder, staging.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      kNewFileMode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        Fail(error);
        return Os::Placement::Failed;
    }
    bool written = fill(fd);
    if (::close(fd) != 0 && written) written = Fail(error);
    Os::Placement placed =
        written ? NameWithoutReplacing(folder, staging, name, error) : Os::Placement::Failed;
    if (placed != Os::Placement::Placed) ::unlinkat(folder, staging.c_str(), 0);
    return placed;
}

}  // namespace

template <typename Fill>
Os::Placement PosixOs::Place(Handle folder, const std::string& name, long* error, Fill fill) {
    if (!IsPlainName(name)) {
        if (error) *error = EINVAL;
        return Placement::Failed;
    }
    struct stat existing {};
    if (::fstatat(Fd(folder), name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
        return Placement::NameTaken;
    }
    if (unnamedFiles_) {
        if (const auto placed = PlaceUnnamed(Fd(folder), name, error, fill)) return *placed;
    }
    return PlaceStaged(Fd(folder), name, error, fill);
}

Handle PosixOs::OpenFolder(const std::string& path, long* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        Fail(error);
        return kInvalidHandle;
    }
    return fd;
}

Handle PosixOs::OpenSubfolder(Handle folder, const std::string& name, long* error) {
    if (!IsPlainName(name)) {
        if (error) *error = EINVAL;
        return kInvalidHandle;
    }
    if (::mkdirat(Fd(folder), name.c_str(), 0777) != 0 && errno != EEXIST) {
        Fail(error);
        return kInvalidHandle;
    }
    // O_NOFOLLOW refuses a link put at the name; O_DIRECTORY anything else
    // that is not a folder.
    const int fd =
        ::openat(Fd(folder), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        Fail(error);
        return kInvalidHandle;
    }
    return fd;
}

bool PosixOs::ExistsIn(Handle folder, const std::string& name) {
    struct stat status {};
    return IsPlainName(name) &&
           ::fstatat(Fd(folder), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
}

bool PosixOs::CreateNewFileIn(Handle folder, const std::string& name, long* error) {
    if (!IsPlainName(name)) {
        if (error) *error = EINVAL;
        return false;
    }
    const int fd = ::openat(Fd(folder), name.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kNewFileMode);
    if (fd < 0) return Fail(error);
    ::close(fd);
    return true;
}

bool PosixOs::DeleteFileIn(Handle folder, const std::string& name, long* error) {
    if (!IsPlainName(name)) {
        if (error) *error = EINVAL;
        return false;
    }
    if (::unlinkat(Fd(folder), name.c_str(), 0) != 0) return Fail(error);
    return true;
}

bool PosixOs::ListFolder(Handle folder, const std::function<void(const std::string&)>& visit) {
    // The listing gets a descriptor of its own, from the start of the folder.
    const int fd = ::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    DIR* listing = ::fdopendir(fd);
    if (!listing) {
        ::close(fd);
        return false;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") visit(name);
    }
    ::closedir(listing);
    return true;
}

Os::Placement PosixOs::PlaceNewFile(Handle folder, const std::string& name, const uint8_t* bytes,
                                    size_t size, long* error) {
    return Place(folder, name, error, [&](int to) { return WriteAll(to, bytes, size, error); });
}

Os::Placement PosixOs::PlaceFileCopy(Handle folder, const std::string& name,
                                     const std::string& sourcePath, long* error) {
    return Place(folder, name, error, [&](int to) {
        const int from = ::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC);
        if (from < 0) return Fail(error);
        const bool copied = CopyBytes(from, to, error);
        ::close(from);
        return copied;
    });
}

}  // namespace varrow::platform
