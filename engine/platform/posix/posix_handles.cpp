// Files and devices by handle. A handle is a file descriptor.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <linux/fs.h>

#include <cerrno>

#include "platform/posix/posix_os.h"

namespace varrow::platform {

namespace {

int Fd(Handle handle) { return static_cast<int>(handle); }

bool Fail(long* error) {
    if (error) *error = errno;
    return false;
}

int OpenFlags(const OpenRequest& request) {
    int flags = O_NOCTTY | O_NONBLOCK;
    switch (request.access) {
        case Access::Read: flags |= O_RDONLY; break;
        case Access::Write: flags |= O_WRONLY; break;
        case Access::ReadWrite: flags |= O_RDWR; break;
        case Access::None: flags |= O_PATH; break;
    }
    if (request.disposition != Disposition::OpenExisting) flags |= O_CREAT;
    if (!request.inherit) flags |= O_CLOEXEC;
    return flags;
}

// Refuses what cannot be read as a file: folders, and what cannot be
// positioned (pipes, sockets, character devices such as terminals or
// /dev/zero, whose reads at one position differ from call to call).
int UnsuitableKind(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0) return errno;
    if (S_ISDIR(status.st_mode)) return EISDIR;
    if (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode) || S_ISCHR(status.st_mode)) return ESPIPE;
    return 0;
}

// Empties a file that is not empty yet. A file that is already empty is
// left alone: on ext4 a truncation to zero also makes the next close start
// writing the file out, which costs a new temporary file far more than
// filling it does.
int EmptyFile(int fd) {
    struct stat status {};
    if (fstat(fd, &status) != 0) return errno;
    if (status.st_size == 0) return 0;
    return ftruncate(fd, 0) == 0 ? 0 : errno;
}

// Share modes are emulated with advisory locks: an exclusive opener takes
// an exclusive lock, every other opener a shared one, and a refused lock is
// a sharing violation.
int TakeShareLock(int fd, Share share) {
    const int operation = (share == Share::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (flock(fd, operation) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return EWOULDBLOCK;
        return 0;  // a file system without locks still opens
    }
    return 0;
}

}  // namespace

Handle PosixOs::Open(const std::string& path, const OpenRequest& request, long* error) {
    const int fd = ::open(path.c_str(), OpenFlags(request), 0666);
    if (fd < 0) {
        Fail(error);
        return kInvalidHandle;
    }
    int problem = 0;
    if (request.access != Access::None) {
        problem = UnsuitableKind(fd);
        if (problem == 0) problem = TakeShareLock(fd, request.share);
        // Emptying waits until the lock is held, so that a file that another
        // program holds is never emptied.
        if (problem == 0 && request.disposition == Disposition::CreateAlways) problem = EmptyFile(fd);
        if (problem == 0) {
            const int flags = fcntl(fd, F_GETFL);
            if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    if (problem != 0) {
        ::close(fd);
        if (error) *error = problem;
        return kInvalidHandle;
    }
    return fd;
}

bool PosixOs::Close(Handle handle, long* error) {
    if (::close(Fd(handle)) != 0 && errno != EINTR) return Fail(error);
    return true;
}

bool PosixOs::Read(Handle handle, void* buffer, uint32_t count, uint32_t* got, long* error) {
    ssize_t n;
    do {
        n = ::read(Fd(handle), buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        *got = 0;
        return Fail(error);
    }
    *got = static_cast<uint32_t>(n);
    return true;
}

bool PosixOs::Write(Handle handle, const void* buffer, uint32_t count, uint32_t* written,
                    long* error) {
    const auto* bytes = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(Fd(handle), bytes + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            *written = done;
            return Fail(error);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    *written = done;
    return true;
}

bool PosixOs::Seek(Handle handle, int64_t offset, SeekFrom from, uint64_t* position,
                   long* error) {
    const int whence = from == SeekFrom::Begin ? SEEK_SET : from == SeekFrom::Current ? SEEK_CUR
                                                                                       : SEEK_END;
    const off_t landed = ::lseek(Fd(handle), offset, whence);
    if (landed < 0) return Fail(error);
    *position = static_cast<uint64_t>(landed);
    return true;
}

bool PosixOs::GetSize(Handle handle, uint64_t* size, long* error) {
    struct stat status {};
    if (fstat(Fd(handle), &status) != 0) return Fail(error);
    if (S_ISBLK(status.st_mode)) {
        uint64_t bytes = 0;
        if (ioctl(Fd(handle), BLKGETSIZE64, &bytes) != 0) return Fail(error);
        *size = bytes;
        return true;
    }
    *size = static_cast<uint64_t>(status.st_size);
    return true;
}

bool PosixOs::SetEnd(Handle handle, long* error) {
    const off_t here = ::lseek(Fd(handle), 0, SEEK_CUR);
    if (here < 0 || ftruncate(Fd(handle), here) != 0) return Fail(error);
    return true;
}

bool PosixOs::Flush(Handle handle, long* error) {
    if (fsync(Fd(handle)) != 0 && errno != EINVAL) return Fail(error);
    return true;
}

Handle PosixOs::Duplicate(Handle handle, long* error) {
    const int copy = dup(Fd(handle));
    if (copy < 0) {
        Fail(error);
        return kInvalidHandle;
    }
    return copy;
}

namespace {

bool ChangeRangeLock(int fd, short type, uint64_t position, uint64_t count, long* error) {
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(position);
    range.l_len = static_cast<off_t>(count);
    if (fcntl(fd, F_SETLK, &range) == 0) return true;
    // A range that another process holds is a locking violation.
    if (error) *error = (errno == EAGAIN || errno == EACCES) ? ENOLCK : errno;
    return false;
}

}  // namespace

bool PosixOs::LockRange(Handle handle, uint64_t position, uint64_t count, long* error) {
    const int mode = fcntl(Fd(handle), F_GETFL);
    const short type = (mode >= 0 && (mode & O_ACCMODE) == O_RDONLY) ? F_RDLCK : F_WRLCK;
    return ChangeRangeLock(Fd(handle), type, position, count, error);
}

bool PosixOs::UnlockRange(Handle handle, uint64_t position, uint64_t count, long* error) {
    return ChangeRangeLock(Fd(handle), F_UNLCK, position, count, error);
}

bool PosixOs::ReadAt(Handle handle, uint64_t position, void* buffer, uint32_t count,
                     uint32_t* got, long* error) {
    auto* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    *got = 0;
    if (position > static_cast<uint64_t>(INT64_MAX)) {
        if (error) *error = EINVAL;
        return false;
    }
    // A device may deliver a long transfer in parts; an error after some
    // bytes arrived ends the run there, and the next read meets it again.
    while (done < count) {
        const ssize_t n =
            ::pread(Fd(handle), bytes + done, count - done, static_cast<off_t>(position + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            if (done != 0) break;
            return Fail(error);
        }
        if (n == 0) break;
        done += static_cast<uint32_t>(n);
    }
    *got = done;
    return true;
}

void PosixOs::AdviseSequential(Handle handle) {
    posix_fadvise(Fd(handle), 0, 0, POSIX_FADV_SEQUENTIAL);
}

void PosixOs::DropCachedRange(Handle handle, uint64_t position, uint64_t length) {
    posix_fadvise(Fd(handle), static_cast<off_t>(position), static_cast<off_t>(length),
                  POSIX_FADV_DONTNEED);
}

}  // namespace varrow::platform
