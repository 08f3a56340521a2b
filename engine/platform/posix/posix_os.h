// The POSIX (Linux) implementation of the engine's Os.
#pragma once

#include "platform/os.h"

namespace varrow::platform {

class PosixOs : public Os {
public:
    // unnamedFiles false makes placements always stage under a name, as on
    // file systems that cannot hold a file without one (tests use it).
    explicit PosixOs(bool unnamedFiles = true) : unnamedFiles_(unnamedFiles) {}

    // posix_handles.cpp
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

    // posix_devices.cpp
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

    // posix_names.cpp
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

    // posix_folders.cpp
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

    // posix_text.cpp
    bool ConvertToUtf8(const std::string& charset, const std::string& bytes, std::string* utf8) override;
    bool SetFileTimesIn(Handle folder, const std::string& name, int64_t secondsSince1970) override;

    void* AllocatePages(size_t size) override;
    void FreePages(void* memory, size_t size) override;

private:
    template <typename Fill>
    Placement Place(Handle folder, const std::string& name, long* error, Fill fill);

    bool unnamedFiles_;
};

}  // namespace varrow::platform
