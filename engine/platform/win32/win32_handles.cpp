// Files and devices by handle (CreateFileA and the handle functions).
//
// A handle's read and write position is kept here, not in the handle: every
// transfer names its offset (OVERLAPPED), so a read at a position on the
// read-ahead thread never disturbs the position of the engine's thread.
// Windows would move the file pointer of a synchronous handle even for a
// transfer at an explicit offset.
#include <map>
#include <mutex>

#include "platform/win32/windows_api.h"
#include "platform/win32/win32_os.h"

namespace varrow::platform {

namespace {

HANDLE Win(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

Handle Ours(HANDLE handle) { return reinterpret_cast<Handle>(handle); }

DWORD AccessOf(Access access) {
    switch (access) {
        case Access::Read: return GENERIC_READ;
        case Access::Write: return GENERIC_WRITE;
        case Access::ReadWrite: return GENERIC_READ | GENERIC_WRITE;
        case Access::None: return 0;
    }
    return 0;
}

DWORD ShareOf(Share share) {
    switch (share) {
        case Share::Exclusive: return 0;
        case Share::DenyWrite: return FILE_SHARE_READ;
        case Share::DenyRead: return FILE_SHARE_WRITE;
        case Share::DenyNone: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    }
    return 0;
}

DWORD DispositionOf(Disposition disposition) {
    switch (disposition) {
        case Disposition::OpenExisting: return OPEN_EXISTING;
        case Disposition::CreateAlways: return CREATE_ALWAYS;
        case Disposition::OpenAlways: return OPEN_ALWAYS;
    }
    return OPEN_EXISTING;
}

// What cannot be read by position (a console, a pipe, NUL) is refused:
// reads at one position would differ from call to call.
bool IsPositionable(HANDLE handle) { return GetFileType(handle) == FILE_TYPE_DISK; }

std::mutex g_positionLock;

std::map<Handle, uint64_t>& Positions() {
    static std::map<Handle, uint64_t> positions;
    return positions;
}

uint64_t PositionOf(Handle handle) {
    const std::lock_guard<std::mutex> hold(g_positionLock);
    const auto known = Positions().find(handle);
    return known == Positions().end() ? 0 : known->second;
}

void SetPosition(Handle handle, uint64_t position) {
    const std::lock_guard<std::mutex> hold(g_positionLock);
    Positions()[handle] = position;
}

void ForgetPosition(Handle handle) {
    const std::lock_guard<std::mutex> hold(g_positionLock);
    Positions().erase(handle);
}

OVERLAPPED At(uint64_t position) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    return at;
}

// One ReadFile of count bytes at position. Reading at or past the end
// delivers nothing and is no failure.
bool ReadOnceAt(HANDLE handle, uint64_t position, void* buffer, uint32_t count, uint32_t* got, long* error) {
    OVERLAPPED at = At(position);
    DWORD n = 0;
    const BOOL read = ReadFile(handle, buffer, count, &n, &at);
    *got = n;
    if (read || GetLastError() == ERROR_HANDLE_EOF) return true;
    *got = 0;
    return FailWithLastError(error);
}

}  // namespace

bool FailWith(unsigned long code, long* error) {
    if (error) *error = static_cast<long>(code);
    return false;
}

bool FailWithLastError(long* error) { return FailWith(GetLastError(), error); }

Handle Win32Os::Open(const std::string& path, const OpenRequest& request, long* error) {
    SECURITY_ATTRIBUTES inheritance{sizeof(SECURITY_ATTRIBUTES), nullptr, request.inherit ? TRUE : FALSE};
    const HANDLE handle = CreateFileA(path.c_str(), AccessOf(request.access), ShareOf(request.share),
                                      &inheritance, DispositionOf(request.disposition), FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        FailWithLastError(error);
        return kInvalidHandle;
    }
    if (request.access != Access::None && !IsPositionable(handle)) {
        CloseHandle(handle);
        FailWith(ERROR_SEEK_ON_DEVICE, error);
        return kInvalidHandle;
    }
    SetPosition(Ours(handle), 0);
    return Ours(handle);
}

bool Win32Os::Close(Handle handle, long* error) {
    ForgetFolder(handle);
    ForgetPosition(handle);
    return CloseHandle(Win(handle)) != 0 || FailWithLastError(error);
}

bool Win32Os::Read(Handle handle, void* buffer, uint32_t count, uint32_t* got, long* error) {
    const uint64_t position = PositionOf(handle);
    if (!ReadOnceAt(Win(handle), position, buffer, count, got, error)) return false;
    SetPosition(handle, position + *got);
    return true;
}

bool Win32Os::Write(Handle handle, const void* buffer, uint32_t count, uint32_t* written,
                    long* error) {
    const auto* bytes = static_cast<const char*>(buffer);
    const uint64_t position = PositionOf(handle);
    uint32_t done = 0;
    bool failed = false;
    while (done < count) {
        OVERLAPPED at = At(position + done);
        DWORD n = 0;
        if (!WriteFile(Win(handle), bytes + done, count - done, &n, &at)) {
            failed = !FailWithLastError(error);
            break;
        }
        if (n == 0) break;
        done += n;
    }
    SetPosition(handle, position + done);
    *written = done;
    return !failed;
}

bool Win32Os::Seek(Handle handle, int64_t offset, SeekFrom from, uint64_t* position, long* error) {
    int64_t base = 0;
    if (from == SeekFrom::Current) {
        base = static_cast<int64_t>(PositionOf(handle));
    } else if (from == SeekFrom::End) {
        uint64_t size = 0;
        if (!GetSize(handle, &size, error)) return false;
        base = static_cast<int64_t>(size);
    }
    const int64_t target = base + offset;
    if (target < 0) return FailWith(ERROR_NEGATIVE_SEEK, error);
    SetPosition(handle, static_cast<uint64_t>(target));
    *position = static_cast<uint64_t>(target);
    return true;
}

bool Win32Os::GetSize(Handle handle, uint64_t* size, long* error) {
    LARGE_INTEGER bytes;
    if (GetFileSizeEx(Win(handle), &bytes)) {
        *size = static_cast<uint64_t>(bytes.QuadPart);
        return true;
    }
    const DWORD sizeError = GetLastError();
    // A disk or volume has no file size, but a length.
    if (DiskLength(handle, size)) return true;
    return FailWith(sizeError, error);
}

bool Win32Os::SetEnd(Handle handle, long* error) {
    // SetEndOfFile ends the file at the handle's own pointer.
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(PositionOf(handle));
    if (!SetFilePointerEx(Win(handle), distance, nullptr, FILE_BEGIN)) return FailWithLastError(error);
    return SetEndOfFile(Win(handle)) != 0 || FailWithLastError(error);
}

bool Win32Os::Flush(Handle handle, long* error) {
    return FlushFileBuffers(Win(handle)) != 0 || FailWithLastError(error);
}

Handle Win32Os::Duplicate(Handle handle, long* error) {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), Win(handle), GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        FailWithLastError(error);
        return kInvalidHandle;
    }
    SetPosition(Ours(copy), PositionOf(handle));
    return Ours(copy);
}

bool Win32Os::LockRange(Handle handle, uint64_t position, uint64_t count, long* error) {
    return LockFile(Win(handle), static_cast<DWORD>(position), static_cast<DWORD>(position >> 32),
                    static_cast<DWORD>(count), static_cast<DWORD>(count >> 32)) != 0 ||
           FailWithLastError(error);
}

bool Win32Os::UnlockRange(Handle handle, uint64_t position, uint64_t count, long* error) {
    return UnlockFile(Win(handle), static_cast<DWORD>(position), static_cast<DWORD>(position >> 32),
                      static_cast<DWORD>(count), static_cast<DWORD>(count >> 32)) != 0 ||
           FailWithLastError(error);
}

bool Win32Os::ReadAt(Handle handle, uint64_t position, void* buffer, uint32_t count, uint32_t* got,
                     long* error) {
    *got = 0;
    if (position > static_cast<uint64_t>(INT64_MAX)) return FailWith(ERROR_NEGATIVE_SEEK, error);
    auto* bytes = static_cast<char*>(buffer);
    uint32_t done = 0;
    // A device may deliver a long transfer in parts; an error after some
    // bytes arrived ends the run there, and the next read meets it again.
    while (done < count) {
        uint32_t n = 0;
        long readError = 0;
        if (!ReadOnceAt(Win(handle), position + done, bytes + done, count - done, &n, &readError)) {
            if (done == 0) return FailWith(static_cast<unsigned long>(readError), error);
            break;
        }
        if (n == 0) break;
        done += n;
    }
    *got = done;
    return true;
}

// Windows takes the hint of a front-to-back read only when a file is
// opened, and has no call that drops a range from its cache: both hints
// are left to the cache manager, which handles long sequential reads well.
void Win32Os::AdviseSequential(Handle /*handle*/) {}

void Win32Os::DropCachedRange(Handle /*handle*/, uint64_t /*position*/, uint64_t /*length*/) {}

}  // namespace varrow::platform
