// What the command line asks of Windows besides the engine.
#include <windows.h>
#include <winioctl.h>
#include <io.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "system.h"
#include "varrow.h"

namespace varrow::cli {

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr char kPhysicalDrivePrefix[] = "\\\\.\\PHYSICALDRIVE";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// Closes a handle when it goes.
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() {
        if (valid()) CloseHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Opens anything by name for looking at it: files, folders and devices.
HANDLE OpenToLook(const std::string& path, DWORD access) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The folder that holds path ("." for a bare name).
std::string ParentOf(const std::string& path) {
    const size_t separator = path.find_last_of("\\/:");
    if (separator == std::string::npos) return ".";
    if (path[separator] == ':') return path.substr(0, separator + 1);
    if (separator == 0) return path.substr(0, 1);
    return path.substr(0, separator);
}

// The drive letter (upper case) of the volume that holds an existing path,
// or 0 when it is on no lettered volume.
char DriveLetterOf(const std::string& path) {
    char root[MAX_PATH];
    if (!GetVolumePathNameA(path.c_str(), root, MAX_PATH) || std::strlen(root) < 2 || root[1] != ':') return 0;
    return static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
}

// Whether the volume with that letter lies, in whole or in part, on the
// physical disk with that number.
bool VolumeIsOnDisk(char letter, unsigned long disk) {
    const std::string volume = std::string(kDevicePrefix) + letter + ":";
    ScopedHandle handle(OpenToLook(volume, 0));
    if (!handle.valid()) return false;
    std::vector<char> answer(sizeof(VOLUME_DISK_EXTENTS) + 32 * sizeof(DISK_EXTENT));
    DWORD returned = 0;
    if (!DeviceIoControl(handle.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, answer.data(),
                         static_cast<DWORD>(answer.size()), &returned, nullptr)) {
        return false;
    }
    const auto* extents = reinterpret_cast<const VOLUME_DISK_EXTENTS*>(answer.data());
    for (DWORD i = 0; i < extents->NumberOfDiskExtents && i < 33; ++i) {
        if (extents->Extents[i].DiskNumber == disk) return true;
    }
    return false;
}

// The same file or folder: one volume, one file index.
bool SameFile(const std::string& a, const std::string& b) {
    ScopedHandle first(OpenToLook(a, 0));
    ScopedHandle second(OpenToLook(b, 0));
    BY_HANDLE_FILE_INFORMATION one{}, two{};
    return first.valid() && second.valid() && GetFileInformationByHandle(first.get(), &one) &&
           GetFileInformationByHandle(second.get(), &two) &&
           one.dwVolumeSerialNumber == two.dwVolumeSerialNumber && one.nFileIndexHigh == two.nFileIndexHigh &&
           one.nFileIndexLow == two.nFileIndexLow;
}

std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    const HANDLE listing = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(listing, &entry));
    FindClose(listing);
    return names;
}

}  // namespace

const char* const kDeviceSourceHelp = "a drive such as \\\\.\\E: or \\\\.\\PHYSICALDRIVE1";

SourceFacts ExamineSource(const std::string& path) {
    SourceFacts facts;
    if (StartsWith(path, kDevicePrefix)) {
        ScopedHandle device(OpenToLook(path, GENERIC_READ));
        const DWORD error = device.valid() ? 0 : GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return facts;
        facts.kind = SourceKind::BlockDevice;
        if (StartsWith(path, kPhysicalDrivePrefix)) {
            if (!device.valid() || !GetDeviceLength(reinterpret_cast<intptr_t>(device.get()), &facts.size)) facts.size = 0;
        } else if (!GetVolumeSize(path.substr(std::strlen(kDevicePrefix)).c_str(), &facts.size)) {
            facts.size = 0;
        }
        return facts;
    }
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) {
        if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            facts.kind = SourceKind::Folder;
        } else {
            facts.kind = SourceKind::File;
            facts.size = (uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
        }
        return facts;
    }
    // Devices such as CON or NUL have no attributes, but open.
    ScopedHandle other(OpenToLook(path, 0));
    if (!other.valid()) return facts;
    facts.kind = GetFileType(other.get()) == FILE_TYPE_CHAR ? SourceKind::CharacterDevice : SourceKind::Other;
    return facts;
}

bool WritesOnSource(const std::string& path, const std::string& source) {
    const bool exists = GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (exists && SameFile(path, source)) return true;
    if (!StartsWith(source, kDevicePrefix)) return false;
    // A new file goes to the volume of the folder that will hold it.
    const char letter = DriveLetterOf(exists ? path : ParentOf(path));
    if (letter == 0) return false;
    const std::string device = source.substr(std::strlen(kDevicePrefix));
    if (StartsWith(source, kPhysicalDrivePrefix)) {
        char* end = nullptr;
        const char* number = source.c_str() + std::strlen(kPhysicalDrivePrefix);
        const unsigned long disk = std::strtoul(number, &end, 10);
        return end != number && *end == '\0' && VolumeIsOnDisk(letter, disk);
    }
    return device.size() == 2 && device[1] == ':' &&
           std::toupper(static_cast<unsigned char>(device[0])) == letter;
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

PrivateTempFolder::PrivateTempFolder() {
    char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(MAX_PATH, base);
    if (length == 0 || length > MAX_PATH) return;
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = std::string(base, length) + "varrow-" + std::to_string(GetCurrentProcessId()) +
                                      "-" + std::to_string(attempt);
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            path_ = candidate;
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}

PrivateTempFolder::~PrivateTempFolder() { Dispose(); }

// GetTempPathA, which the engine asks, looks at TMP first.
void PrivateTempFolder::Use() const {
    if (!path_.empty()) SetEnvironmentVariableA("TMP", path_.c_str());
}

void PrivateTempFolder::Dispose() {
    if (path_.empty() || disposed_) return;
    disposed_ = true;
    // Renamed first: the engine makes its files by the folder's path, so
    // from here on a new one cannot appear in what is being removed. A
    // file the engine holds open keeps its folder; Windows refuses both.
    const std::string doomed = path_ + ".gone";
    const std::string& folder = MoveFileA(path_.c_str(), doomed.c_str()) ? doomed : path_;
    for (const std::string& name : Entries(folder)) DeleteFileA((folder + "\\" + name).c_str());
    RemoveDirectoryA(folder.c_str());
}

void RemoveOwnStagingFiles(const std::string& folder) {
    const std::string prefix = ".ostrel-" + std::to_string(GetCurrentProcessId()) + "-";
    for (const std::string& name : Entries(folder)) {
        const std::string path = folder + "\\" + name;
        if (name.compare(0, prefix.size(), prefix) == 0) {
            DeleteFileA(path.c_str());
        } else if (name.compare(0, 13, "Recovered_Msg") == 0) {
            const DWORD attributes = GetFileAttributesA(path.c_str());
            // Only real folders: a link there would lead elsewhere.
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveOwnStagingFiles(path);
            }
        }
    }
}

}  // namespace varrow::cli
