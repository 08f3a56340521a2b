// The Windows implementation of the engine's Os: the ANSI functions of the
// Windows API, so that paths are 8-bit text in the system's code page. A
// Handle is a Windows HANDLE; error codes are GetLastError's.
#pragma once

#include <string>

#include "platform/os.h"

namespace varrow::platform {

class Win32Os : public Os {
public:
    // win32_handles.cpp
    Handle Open(const std::string& path, const OpenRequest& request, long* error) override;
    bool Close(Handle handle, long* error) override;
    bool Read(Handle handle, void* buffer, uint32_t count, uint32_t* got, long* error) override;
    bool Write(Handle handle, const void* buffer, uint32_t count, uint32_t* written,
               long* error) override;
    bool Seek(Handle handle, int64_t offset, SeekFrom from, uint64_t* position,
              long* error) override;
    bool GetSize(Handle handle, uint64_t* size, long* error) override;
    bool SetEnd(Handle handle, long* error) override;
    bool Flush(Handle handle, long* error) override;
    Handle Duplicate(Handle handle, long* error) override;
    bool LockRange(Handle handle, uint64_t position, uint64_t count, long* error) override;
    bool UnlockRange(Handle handle, uint64_t position, uint64_t count, long* error) override;
    bool ReadAt(Handle handle, uint64_t position, void* buffer, uint32_t count, uint32_t* got,
                long* error) override;
    void AdviseSequential(Handle handle) override;
    void DropCachedRange(Handle handle, uint64_t position, uint64_t length) override;

    // win32_devices.cpp
    bool IsBlockDevice(Handle handle) override;
    bool IsWholeDisk(const std::string& path) override;
    bool DiskLength(Handle handle, uint64_t* length) override;
    bool DiskGeometry(Handle handle, platform::DiskGeometry* geometry) override;
    bool DiskSectorSize(Handle handle, uint32_t* bytesPerSector) override;
    bool VolumeSectorSize(const std::string& root, uint32_t* bytesPerSector) override;
    bool HasVolumeSpace64() override;
    bool VolumeSpace64(const std::string& root, uint64_t* availableToCaller,
                       uint64_t* total) override;
    bool VolumeSpaceClusters(const std::string& root, VolumeClusters* clusters) override;
    std::unique_ptr<DiskImage> OpenDiskImage(const std::string& path) override;

    // win32_names.cpp
    std::string CurrentDirectory() override;
    std::string FullPath(const std::string& path) override;
    size_t MaxPathLength() override;
    std::string TempDirectory() override;
    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override;
    bool Exists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    bool IsSymbolicLink(const std::string& path) override;
    bool CreateNewFile(const std::string& path, long* error) override;
    bool CreateDirectory(const std::string& path, long* error) override;
    bool ListDirectory(const std::string& path,
                       const std::function<void(const std::string&)>& visit) override;
    bool DeleteFile(const std::string& path, long* error) override;
    void* AllocatePages(size_t size) override;
    void FreePages(void* memory, size_t size) override;

    // win32_folders.cpp
    Handle OpenFolder(const std::string& path, long* error) override;
    Handle OpenSubfolder(Handle folder, const std::string& name, long* error) override;
    bool ExistsIn(Handle folder, const std::string& name) override;
    bool CreateNewFileIn(Handle folder, const std::string& name, long* error) override;
    bool DeleteFileIn(Handle folder, const std::string& name, long* error) override;
    bool ListFolder(Handle folder, const std::function<void(const std::string&)>& visit) override;
    Placement PlaceNewFile(Handle folder, const std::string& name, const uint8_t* bytes, size_t size,
                           long* error) override;
    Placement PlaceFileCopy(Handle folder, const std::string& name, const std::string& sourcePath,
                            long* error) override;

    // win32_text.cpp
    bool ConvertToUtf8(const std::string& charset, const std::string& bytes, std::string* utf8) override;
    bool SetFileTimesIn(Handle folder, const std::string& name, int64_t secondsSince1970) override;

private:
    // Windows has no call that makes a file relative to a folder handle
    // (short of the native API): names in an output folder are reached
    // through the folder's path, which cannot change while the handle is
    // open, because the handle does not share deletion (nor renaming).
    // Handles belong to the process, and so does this table.

    // The path of an open folder with a trailing backslash; empty for a
    // handle that OpenFolder or OpenSubfolder did not give.
    static std::string FolderPath(Handle folder);
    // Remembers the path of a folder handle until Close forgets it.
    static Handle KeepFolder(Handle folder, const std::string& path);
    static void ForgetFolder(Handle folder);
    template <typename Fill>
    Placement Place(Handle folder, const std::string& name, long* error, Fill fill);

};

// Whether a Windows file system can hold name as one component of a
// path: not empty, not "." or "..", no separator, no control character and
// no character that Windows forbids in names, and not a device name (CON,
// NUL, COM1...) that Windows would open instead of a file. Steps over the
// characters of the ANSI code page.
bool IsWindowsFileName(const std::string& name);

// Whether Windows takes name (a path's last component) for a device.
bool IsDeviceName(const std::string& name);

// The Windows error code as the engine's Os reports it.
bool FailWith(unsigned long code, long* error);
bool FailWithLastError(long* error);

}  // namespace varrow::platform
