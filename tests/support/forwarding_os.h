// An Os that hands every call to another Os. Test layers derive from it and
// override only the calls they change.
#pragma once

#include "platform/os.h"

namespace varrow::testing {

class ForwardingOs : public platform::Os {
public:
    // inner must outlive this object.
    explicit ForwardingOs(platform::Os& inner) : inner_(inner) {}

    platform::Handle Open(const std::string& path, const platform::OpenRequest& request,
                          long* error) override {
        return inner_.Open(path, request, error);
    }
    bool Close(platform::Handle handle, long* error) override {
        return inner_.Close(handle, error);
    }
    bool Read(platform::Handle handle, void* buffer, uint32_t count, uint32_t* got,
              long* error) override {
        return inner_.Read(handle, buffer, count, got, error);
    }
    bool Write(platform::Handle handle, const void* buffer, uint32_t count, uint32_t* written,
               long* error) override {
        return inner_.Write(handle, buffer, count, written, error);
    }
    bool Seek(platform::Handle handle, int64_t offset, platform::SeekFrom from, uint64_t* position,
              long* error) override {
        return inner_.Seek(handle, offset, from, position, error);
    }
    bool GetSize(platform::Handle handle, uint64_t* size, long* error) override {
        return inner_.GetSize(handle, size, error);
    }
    bool SetEnd(platform::Handle handle, long* error) override {
        return inner_.SetEnd(handle, error);
    }
    bool Flush(platform::Handle handle, long* error) override {
        return inner_.Flush(handle, error);
    }
    platform::Handle Duplicate(platform::Handle handle, long* error) override {
        return inner_.Duplicate(handle, error);
    }
    bool LockRange(platform::Handle handle, uint64_t position, uint64_t count,
                   long* error) override {
        return inner_.LockRange(handle, position, count, error);
    }
    bool UnlockRange(platform::Handle handle, uint64_t position, uint64_t count,
                     long* error) override {
        return inner_.UnlockRange(handle, position, count, error);
    }
    bool ReadAt(platform::Handle handle, uint64_t position, void* buffer, uint32_t count,
                uint32_t* got, long* error) override {
        return inner_.ReadAt(handle, position, buffer, count, got, error);
    }
    void AdviseSequential(platform::Handle handle) override { inner_.AdviseSequential(handle); }
    void DropCachedRange(platform::Handle handle, uint64_t position, uint64_t length) override {
        inner_.DropCachedRange(handle, position, length);
    }
    bool IsBlockDevice(platform::Handle handle) override { return inner_.IsBlockDevice(handle); }
    bool IsWholeDisk(const std::string& path) override { return inner_.IsWholeDisk(path); }
    bool DiskLength(platform::Handle handle, uint64_t* length) override {
        return inner_.DiskLength(handle, length);
    }
    bool DiskGeometry(platform::Handle handle, platform::DiskGeometry* geometry) override {
        return inner_.DiskGeometry(handle, geometry);
    }
    bool DiskSectorSize(platform::Handle handle, uint32_t* bytesPerSector) override {
        return inner_.DiskSectorSize(handle, bytesPerSector);
    }
    bool VolumeSectorSize(const std::string& root, uint32_t* bytesPerSector) override {
        return inner_.VolumeSectorSize(root, bytesPerSector);
    }
    bool HasVolumeSpace64() override { return inner_.HasVolumeSpace64(); }
    bool VolumeSpace64(const std::string& root, uint64_t* availableToCaller,
                       uint64_t* total) override {
        return inner_.VolumeSpace64(root, availableToCaller, total);
    }
    bool VolumeSpaceClusters(const std::string& root, platform::VolumeClusters* clusters) override {
        return inner_.VolumeSpaceClusters(root, clusters);
    }
    std::unique_ptr<platform::DiskImage> OpenDiskImage(const std::string& path) override {
        return inner_.OpenDiskImage(path);
    }
    std::string CurrentDirectory() override { return inner_.CurrentDirectory(); }
    std::string FullPath(const std::string& path) override { return inner_.FullPath(path); }
    size_t MaxPathLength() override { return inner_.MaxPathLength(); }
    std::string TempDirectory() override { return inner_.TempDirectory(); }
    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override {
        return inner_.CreateTempFile(folder, prefix);
    }
    bool Exists(const std::string& path) override { return inner_.Exists(path); }
    bool IsDirectory(const std::string& path) override { return inner_.IsDirectory(path); }
    bool IsSymbolicLink(const std::string& path) override { return inner_.IsSymbolicLink(path); }
    bool CreateNewFile(const std::string& path, long* error) override {
        return inner_.CreateNewFile(path, error);
    }
    bool CreateDirectory(const std::string& path, long* error) override {
        return inner_.CreateDirectory(path, error);
    }
    bool ListDirectory(const std::string& path,
                       const std::function<void(const std::string&)>& visit) override {
        return inner_.ListDirectory(path, visit);
    }
    bool DeleteFile(const std::string& path, long* error) override {
        return inner_.DeleteFile(path, error);
    }
    platform::Handle OpenFolder(const std::string& path, long* error) override {
        return inner_.OpenFolder(path, error);
    }
    platform::Handle OpenSubfolder(platform::Handle folder, const std::string& name,
                                   long* error) override {
        return inner_.OpenSubfolder(folder, name, error);
    }
    bool ExistsIn(platform::Handle folder, const std::string& name) override {
        return inner_.ExistsIn(folder, name);
    }
    bool CreateNewFileIn(platform::Handle folder, const std::string& name, long* error) override {
        return inner_.CreateNewFileIn(folder, name, error);
    }
    bool DeleteFileIn(platform::Handle folder, const std::string& name, long* error) override {
        return inner_.DeleteFileIn(folder, name, error);
    }
    bool ListFolder(platform::Handle folder,
                    const std::function<void(const std::string&)>& visit) override {
        return inner_.ListFolder(folder, visit);
    }
    Placement PlaceNewFile(platform::Handle folder, const std::string& name, const uint8_t* bytes,
                           size_t size, long* error) override {
        return inner_.PlaceNewFile(folder, name, bytes, size, error);
    }
    Placement PlaceFileCopy(platform::Handle folder, const std::string& name,
                            const std::string& sourcePath, long* error) override {
        return inner_.PlaceFileCopy(folder, name, sourcePath, error);
    }
    bool ConvertToUtf8(const std::string& charset, const std::string& bytes,
                       std::string* utf8) override {
        return inner_.ConvertToUtf8(charset, bytes, utf8);
    }
    bool SetFileTimesIn(platform::Handle folder, const std::string& name,
                        int64_t secondsSince1970) override {
        return inner_.SetFileTimesIn(folder, name, secondsSince1970);
    }
    void* AllocatePages(size_t size) override { return inner_.AllocatePages(size); }
    void FreePages(void* memory, size_t size) override { inner_.FreePages(memory, size); }

protected:
    platform::Os& inner_;
};

}  // namespace varrow::testing
