// Files and folders by name, memory pages, and the system Os itself.
#include <vector>

#include "base/paths.h"
#include "platform/win32/win32_os.h"
#include "platform/win32/windows_api.h"

namespace varrow::platform {

namespace {

// The buffer the ANSI path functions fill: MAX_PATH bytes with the zero.
constexpr DWORD kPathBuffer = MAX_PATH;

bool Attributes(const std::string& path, DWORD* attributes) {
    *attributes = GetFileAttributesA(path.c_str());
    return *attributes != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

Os& SystemOs() {
    static Win32Os os;
    return os;
}

std::string Win32Os::CurrentDirectory() {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return {};
    std::vector<char> buffer(needed + 1);
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return {};
    return std::string(buffer.data(), length);
}

std::string Win32Os::FullPath(const std::string& path) {
    char buffer[kPathBuffer];
    const DWORD length = GetFullPathNameA(path.c_str(), kPathBuffer, buffer, nullptr);
    // A length of the buffer or more is the size the full path would need.
    if (length == 0 || length >= kPathBuffer) return {};
    return std::string(buffer, length);
}

size_t Win32Os::MaxPathLength() { return kPathBuffer - 1; }

std::string Win32Os::TempDirectory() {
    char buffer[kPathBuffer + 1];
    const DWORD length = GetTempPathA(kPathBuffer, buffer);
    if (length == 0 || length > kPathBuffer) return {};
    return AddTrailingBackslash(std::string(buffer, length));
}

std::string Win32Os::CreateTempFile(const std::string& folder, const std::string& prefix) {
    char buffer[kPathBuffer];
    if (GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer) == 0) return {};
    return buffer;
}

bool Win32Os::Exists(const std::string& path) {
    // Windows answers for a device name in any folder; no file is there.
    if (IsDeviceName(GetPathFileName(path))) return false;
    DWORD attributes = 0;
    return Attributes(path, &attributes);
}

bool Win32Os::IsDirectory(const std::string& path) {
    DWORD attributes = 0;
    return Attributes(path, &attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32Os::IsSymbolicLink(const std::string& path) {
    DWORD attributes = 0;
    return Attributes(path, &attributes) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool Win32Os::CreateNewFile(const std::string& path, long* error) {
    if (!IsWindowsFileName(GetPathFileName(path))) return FailWith(ERROR_INVALID_NAME, error);
    // Never through a link that another program put at the name.
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FailWithLastError(error);
    CloseHandle(file);
    return true;
}

bool Win32Os::CreateDirectory(const std::string& path, long* error) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0 || FailWithLastError(error);
}

bool Win32Os::ListDirectory(const std::string& path, const std::function<void(const std::string&)>& visit) {
    WIN32_FIND_DATAA entry;
    const HANDLE listing = FindFirstFileA((AddTrailingBackslash(path) + "*.*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return false;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") visit(name);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return true;
}

bool Win32Os::DeleteFile(const std::string& path, long* error) {
    return DeleteFileA(path.c_str()) != 0 || FailWithLastError(error);
}

void* Win32Os::AllocatePages(size_t size) {
    return VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void Win32Os::FreePages(void* memory, size_t /*size*/) {
    if (memory) VirtualFree(memory, 0, MEM_RELEASE);
}

}  // namespace varrow::platform
