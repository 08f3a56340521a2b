#include "fault_os.h"

#include <algorithm>
#include <cerrno>

namespace varrow::testing {

using platform::Handle;

FaultOs::FaultOs(platform::Os& inner) : inner_(inner) {}

void FaultOs::FailReads(const std::string& path, uint64_t begin, uint64_t end) {
    failingReads_[path].push_back(Region{begin, end});
}

void FaultOs::DamageImage(const std::string& path, uint64_t begin, uint64_t end) {
    damagedImages_[path].push_back(Region{begin, end});
}

namespace {

// An image whose reads deliver the damaged regions as zeros and report them.
class DamagedImage : public platform::DiskImage {
public:
    DamagedImage(std::unique_ptr<platform::DiskImage> inner, std::vector<platform::MediaRange> regions,
                 std::atomic<int>& damagedReads)
        : inner_(std::move(inner)), regions_(std::move(regions)), damagedReads_(damagedReads) {}

    std::string FormatName() const override { return inner_->FormatName(); }
    uint32_t FileCount() const override { return inner_->FileCount(); }
    uint64_t MediaSize() const override { return inner_->MediaSize(); }
    uint32_t SectorSize() const override { return inner_->SectorSize(); }

    bool Read(uint64_t position, void* buffer, uint32_t count,
              std::vector<platform::MediaRange>* damaged) override {
        if (!inner_->Read(position, buffer, count, damaged)) return false;
        for (const platform::MediaRange& region : regions_) {
            const uint64_t from = std::max(region.position, position);
            const uint64_t to = std::min(region.position + region.length, position + count);
            if (from >= to) continue;
            ++damagedReads_;
            std::fill_n(static_cast<uint8_t*>(buffer) + (from - position), to - from, uint8_t{0});
            if (damaged) damaged->push_back({from, to - from});
        }
        return true;
    }

private:
    std::unique_ptr<platform::DiskImage> inner_;
    std::vector<platform::MediaRange> regions_;
    std::atomic<int>& damagedReads_;
};

}  // namespace

std::unique_ptr<platform::DiskImage> FaultOs::OpenDiskImage(const std::string& path) {
    std::unique_ptr<platform::DiskImage> image = inner_.OpenDiskImage(path);
    const auto damage = damagedImages_.find(path);
    if (!image || damage == damagedImages_.end()) return image;
    std::vector<platform::MediaRange> regions;
    for (const Region& region : damage->second) regions.push_back({region.begin, region.end - region.begin});
    return std::make_unique<DamagedImage>(std::move(image), std::move(regions), damagedImageReads);
}

const FaultOs::Region* FaultOs::FailingRegion(Handle handle, uint64_t position,
                                              uint64_t count) {
    const auto open = openPaths_.find(handle);
    if (open == openPaths_.end() || count == 0) return nullptr;
    const auto regions = failingReads_.find(open->second);
    if (regions == failingReads_.end()) return nullptr;
    // Only the medium can fail: a read at or past the end of the file ends
    // there as it always does.
    uint64_t size = 0;
    long ignored = 0;
    if (!inner_.GetSize(handle, &size, &ignored) || position >= size) return nullptr;
    const Region* first = nullptr;
    for (const Region& region : regions->second) {
        const bool touches = position < region.end && region.begin < position + count && region.begin < size;
        if (touches && (!first || region.begin < first->begin)) first = &region;
    }
    return first;
}

std::optional<uint64_t> FaultOs::FileSize(const std::string& path) {
    long error = 0;
    const Handle handle = inner_.Open(path, platform::OpenRequest{}, &error);
    if (handle == platform::kInvalidHandle) return std::nullopt;
    uint64_t size = 0;
    const bool known = inner_.GetSize(handle, &size, &error);
    inner_.Close(handle, &error);
    return known ? std::optional<uint64_t>(size) : std::nullopt;
}

Handle FaultOs::Open(const std::string& path, const platform::OpenRequest& request, long* error) {
    const bool changes = request.access == platform::Access::Write ||
                         request.access == platform::Access::ReadWrite ||
                         request.disposition != platform::Disposition::OpenExisting;
    if (changes) changedPaths.push_back(path);
    if (openError) {
        if (const long injected = openError(path, request)) {
            *error = injected;
            return platform::kInvalidHandle;
        }
    }
    const Handle handle = inner_.Open(path, request, error);
    if (handle != platform::kInvalidHandle) openPaths_[handle] = path;
    return handle;
}

bool FaultOs::Close(Handle handle, long* error) {
    openPaths_.erase(handle);
    return inner_.Close(handle, error);
}

bool FaultOs::Read(Handle handle, void* buffer, uint32_t count, uint32_t* got, long* error) {
    if (openPaths_.count(handle) && failingReads_.count(openPaths_.at(handle))) {
        uint64_t position = 0;
        long ignored = 0;
        if (inner_.Seek(handle, 0, platform::SeekFrom::Current, &position, &ignored) &&
            FailingRegion(handle, position, count)) {
            ++failedReads;
            *got = 0;
            *error = EIO;
            return false;
        }
    }
    return inner_.Read(handle, buffer, count, got, error);
}

bool FaultOs::ReadAt(Handle handle, uint64_t position, void* buffer, uint32_t count,
                     uint32_t* got, long* error) {
    if (const Region* region = FailingRegion(handle, position, count)) {
        ++failedReads;
        if (region->begin <= position) {
            *got = 0;
            *error = EIO;
            return false;
        }
        count = static_cast<uint32_t>(region->begin - position);
    }
    return inner_.ReadAt(handle, position, buffer, count, got, error);
}

bool FaultOs::Write(Handle handle, const void* buffer, uint32_t count, uint32_t* written,
                    long* error) {
    if (!diskSpace) return inner_.Write(handle, buffer, count, written, error);
    const auto fits = static_cast<uint32_t>(std::min<uint64_t>(count, *diskSpace));
    *written = 0;
    if (fits != 0) {
        const bool stored = inner_.Write(handle, buffer, fits, written, error);
        *diskSpace -= *written;
        if (!stored) return false;
    }
    if (*written == count) return true;
    ++failedWrites;
    *error = ENOSPC;
    return false;
}

bool FaultOs::CopyFile(const std::string& source, const std::string& target, long* error) {
    changedPaths.push_back(target);
    if (!TakeDiskSpace(FileSize(source), error)) return false;
    return inner_.CopyFile(source, target, error);
}

bool FaultOs::WriteNewContent(const std::string& target, const uint8_t* bytes, size_t size, long* error) {
    changedPaths.push_back(target);
    if (!TakeDiskSpace(size, error)) return false;
    return inner_.WriteNewContent(target, bytes, size, error);
}

bool FaultOs::TakeDiskSpace(std::optional<uint64_t> size, long* error) {
    if (!diskSpace) return true;
    if (size && *size > *diskSpace) {
        ++failedWrites;
        *diskSpace = 0;
        *error = ENOSPC;
        return false;
    }
    if (size) *diskSpace -= *size;
    return true;
}

std::string FaultOs::CreateTempFile(const std::string& folder, const std::string& prefix) {
    if (tempFileFails && tempFileFails()) return {};
    std::string path = inner_.CreateTempFile(folder, prefix);
    if (!path.empty()) changedPaths.push_back(path);
    return path;
}

bool FaultOs::CreateNewFile(const std::string& path, long* error) {
    changedPaths.push_back(path);
    return inner_.CreateNewFile(path, error);
}

bool FaultOs::CreateDirectory(const std::string& path, long* error) {
    changedPaths.push_back(path);
    return inner_.CreateDirectory(path, error);
}

bool FaultOs::DeleteFile(const std::string& path, long* error) {
    changedPaths.push_back(path);
    return inner_.DeleteFile(path, error);
}

bool FaultOs::ListDirectory(const std::string& path,
                            const std::function<void(const std::string&)>& visit) {
    if (!inner_.ListDirectory(path, visit)) return false;
    const auto phantom = phantomEntries.find(path);
    if (phantom != phantomEntries.end()) {
        for (uint32_t i = 0; i < phantom->second; ++i) visit("phantom-" + std::to_string(i));
    }
    return true;
}

// --- Passed through unchanged ----------------------------------------------

bool FaultOs::Seek(Handle handle, int64_t offset, platform::SeekFrom from, uint64_t* position,
                   long* error) {
    return inner_.Seek(handle, offset, from, position, error);
}
bool FaultOs::GetSize(Handle handle, uint64_t* size, long* error) {
    return inner_.GetSize(handle, size, error);
}
bool FaultOs::SetEnd(Handle handle, long* error) { return inner_.SetEnd(handle, error); }
bool FaultOs::Flush(Handle handle, long* error) { return inner_.Flush(handle, error); }
Handle FaultOs::Duplicate(Handle handle, long* error) { return inner_.Duplicate(handle, error); }
bool FaultOs::LockRange(Handle handle, uint64_t position, uint64_t count, long* error) {
    return inner_.LockRange(handle, position, count, error);
}
bool FaultOs::UnlockRange(Handle handle, uint64_t position, uint64_t count, long* error) {
    return inner_.UnlockRange(handle, position, count, error);
}
void FaultOs::AdviseSequential(Handle handle) { inner_.AdviseSequential(handle); }
void FaultOs::DropCachedRange(Handle handle, uint64_t position, uint64_t length) {
    inner_.DropCachedRange(handle, position, length);
}
bool FaultOs::IsBlockDevice(Handle handle) { return inner_.IsBlockDevice(handle); }
bool FaultOs::IsWholeDisk(const std::string& path) { return inner_.IsWholeDisk(path); }
bool FaultOs::DiskLength(Handle handle, uint64_t* length) { return inner_.DiskLength(handle, length); }
bool FaultOs::DiskGeometry(Handle handle, platform::DiskGeometry* geometry) {
    return inner_.DiskGeometry(handle, geometry);
}
bool FaultOs::DiskSectorSize(Handle handle, uint32_t* bytesPerSector) {
    return inner_.DiskSectorSize(handle, bytesPerSector);
}
bool FaultOs::VolumeSectorSize(const std::string& root, uint32_t* bytesPerSector) {
    return inner_.VolumeSectorSize(root, bytesPerSector);
}
bool FaultOs::HasVolumeSpace64() { return inner_.HasVolumeSpace64(); }
bool FaultOs::VolumeSpace64(const std::string& root, uint64_t* availableToCaller, uint64_t* total) {
    return inner_.VolumeSpace64(root, availableToCaller, total);
}
bool FaultOs::VolumeSpaceClusters(const std::string& root, platform::VolumeClusters* clusters) {
    return inner_.VolumeSpaceClusters(root, clusters);
}
std::string FaultOs::CurrentDirectory() { return inner_.CurrentDirectory(); }
size_t FaultOs::MaxPathLength() { return inner_.MaxPathLength(); }
std::string FaultOs::TempDirectory() { return inner_.TempDirectory(); }
bool FaultOs::Exists(const std::string& path) { return inner_.Exists(path); }
bool FaultOs::IsDirectory(const std::string& path) { return inner_.IsDirectory(path); }
bool FaultOs::IsSymbolicLink(const std::string& path) { return inner_.IsSymbolicLink(path); }
void* FaultOs::AllocatePages(size_t size) { return inner_.AllocatePages(size); }
void FaultOs::FreePages(void* memory, size_t size) { inner_.FreePages(memory, size); }

}  // namespace varrow::testing
