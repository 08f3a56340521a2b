// Output folders by handle. A folder is held open without sharing its
// deletion, so neither it nor a folder above it can be renamed, removed or
// replaced by a link while the output goes into it; names in it are reached
// through its path. Files are placed without replacing anything.
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "base/paths.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/windows_api.h"

namespace varrow::platform {

namespace {

// Opens a folder for listing, sharing reading and writing but not deletion.
// Without following a link at path when refuseLinks is set.
HANDLE OpenFolderHandle(const std::string& path, bool refuseLinks, long* error) {
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (refuseLinks ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const HANDLE folder = CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        FailWithLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool isFolder = GetFileInformationByHandle(folder, &information) &&
                          (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool isLink = (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!isFolder || (refuseLinks && isLink)) {
        CloseHandle(folder);
        FailWith(ERROR_DIRECTORY, error);
        return INVALID_HANDLE_VALUE;
    }
    return folder;
}

bool WriteAll(HANDLE to, const uint8_t* bytes, size_t size, long* error) {
    for (size_t done = 0; done < size;) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(to, bytes + done, piece, &written, nullptr)) return FailWithLastError(error);
        if (written == 0) return FailWith(ERROR_DISK_FULL, error);
        done += written;
    }
    return true;
}

bool IsNameTaken(DWORD code) { return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS; }

}  // namespace

namespace {

std::mutex g_folderLock;

std::map<Handle, std::string>& FolderPaths() {
    static std::map<Handle, std::string> paths;
    return paths;
}

}  // namespace

std::string Win32Os::FolderPath(Handle folder) {
    const std::lock_guard<std::mutex> hold(g_folderLock);
    const auto known = FolderPaths().find(folder);
    return known == FolderPaths().end() ? std::string() : known->second;
}

Handle Win32Os::KeepFolder(Handle folder, const std::string& path) {
    const std::lock_guard<std::mutex> hold(g_folderLock);
    FolderPaths()[folder] = AddTrailingBackslash(path);
    return folder;
}

void Win32Os::ForgetFolder(Handle folder) {
    const std::lock_guard<std::mutex> hold(g_folderLock);
    FolderPaths().erase(folder);
}

Handle Win32Os::OpenFolder(const std::string& path, long* error) {
    const std::string full = FullPath(path);
    if (full.empty()) {
        FailWith(ERROR_BAD_PATHNAME, error);
        return kInvalidHandle;
    }
    const HANDLE folder = OpenFolderHandle(full, false, error);
    if (folder == INVALID_HANDLE_VALUE) return kInvalidHandle;
    return KeepFolder(reinterpret_cast<Handle>(folder), full);
}

Handle Win32Os::OpenSubfolder(Handle folder, const std::string& name, long* error) {
    const std::string parent = FolderPath(folder);
    if (parent.empty() || !IsWindowsFileName(name)) {
        FailWith(parent.empty() ? ERROR_INVALID_HANDLE : ERROR_INVALID_NAME, error);
        return kInvalidHandle;
    }
    const std::string path = parent + name;
    if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        FailWithLastError(error);
        return kInvalidHandle;
    }
    // A link put at the name, or anything that is not a folder, is refused.
    const HANDLE subfolder = OpenFolderHandle(path, true, error);
    if (subfolder == INVALID_HANDLE_VALUE) return kInvalidHandle;
    return KeepFolder(reinterpret_cast<Handle>(subfolder), path);
}

bool Win32Os::ExistsIn(Handle folder, const std::string& name) {
    const std::string parent = FolderPath(folder);
    // Nothing can be at a name that the file system cannot hold.
    return !parent.empty() && IsWindowsFileName(name) &&
           GetFileAttributesA((parent + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32Os::CreateNewFileIn(Handle folder, const std::string& name, long* error) {
    const std::string parent = FolderPath(folder);
    if (parent.empty()) return FailWith(ERROR_INVALID_HANDLE, error);
    return CreateNewFile(parent + name, error);
}

bool Win32Os::DeleteFileIn(Handle folder, const std::string& name, long* error) {
    const std::string parent = FolderPath(folder);
    if (parent.empty()) return FailWith(ERROR_INVALID_HANDLE, error);
    if (!IsWindowsFileName(name)) return FailWith(ERROR_INVALID_NAME, error);
    return DeleteFile(parent + name, error);
}

bool Win32Os::ListFolder(Handle folder, const std::function<void(const std::string&)>& visit) {
    const std::string parent = FolderPath(folder);
    return !parent.empty() && ListDirectory(parent, visit);
}

// Writes the content into a staging file of this process in the folder,
// then gives it the name in one step that fails when the name is taken
// (MoveFileExA without replacing). A run killed in between leaves the
// staging file, never a partial file under the name.
template <typename Fill>
Os::Placement Win32Os::Place(Handle folder, const std::string& name, long* error, Fill fill) {
    const std::string parent = FolderPath(folder);
    if (parent.empty() || !IsWindowsFileName(name)) {
        FailWith(parent.empty() ? ERROR_INVALID_HANDLE : ERROR_INVALID_NAME, error);
        return Placement::Failed;
    }
    const std::string target = parent + name;
    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) return Placement::NameTaken;

    static std::atomic<unsigned> counter{0};
    std::string staging;
    bool made = false;
    for (int attempt = 0; attempt < 100 && !made; ++attempt) {
        staging = parent + ".ostrel-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        made = fill(staging);
        // A staging name that is taken belongs to somebody else: try the next.
        if (made || IsNameTaken(static_cast<DWORD>(*error))) continue;
        DeleteFileA(staging.c_str());  // what a failed write left
        return Placement::Failed;
    }
    if (!made) return Placement::Failed;
    if (MoveFileExA(staging.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) return Placement::Placed;
    const DWORD moveError = GetLastError();
    DeleteFileA(staging.c_str());
    if (IsNameTaken(moveError)) return Placement::NameTaken;
    FailWith(moveError, error);
    return Placement::Failed;
}

Os::Placement Win32Os::PlaceNewFile(Handle folder, const std::string& name, const uint8_t* bytes, size_t size,
                                    long* error) {
    long fillError = 0;
    const Placement placed = Place(folder, name, &fillError, [&](const std::string& staging) {
        const HANDLE file = CreateFileA(staging.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE) return FailWithLastError(&fillError);
        bool written = WriteAll(file, bytes, size, &fillError);
        if (!CloseHandle(file) && written) written = FailWithLastError(&fillError);
        return written;
    });
    if (placed == Placement::Failed && error) *error = fillError;
    return placed;
}

Os::Placement Win32Os::PlaceFileCopy(Handle folder, const std::string& name, const std::string& sourcePath,
                                     long* error) {
    long fillError = 0;
    const Placement placed = Place(folder, name, &fillError, [&](const std::string& staging) {
        // CopyFileA that fails when the staging name is taken.
        return CopyFileA(sourcePath.c_str(), staging.c_str(), TRUE) != 0 || FailWithLastError(&fillError);
    });
    if (placed == Placement::Failed && error) *error = fillError;
    return placed;
}

}  // namespace varrow::platform
