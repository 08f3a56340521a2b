#include "fault_os.h"

#include <algorithm>

#include "base/paths.h"
#include "system_facts.h"

namespace varrow::testing {

using platform::Handle;

FaultOs::FaultOs(platform::Os& inner) : ForwardingOs(inner) {}

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
    DamagedImage(std::unique_ptr<platform::DiskImage> inner,
                 std::vector<platform::MediaRange> regions, std::atomic<int>& damagedReads)
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
    for (const Region& region : damage->second)
        regions.push_back({region.begin, region.end - region.begin});
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
    folderPaths_.erase(handle);
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
            *error = kErrorIo;
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
            *error = kErrorIo;
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
    *error = kErrorDiskFull;
    return false;
}

bool FaultOs::TakeDiskSpace(std::optional<uint64_t> size, long* error) {
    if (!diskSpace) return true;
    if (size && *size > *diskSpace) {
        ++failedWrites;
        *diskSpace = 0;
        *error = kErrorDiskFull;
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
    const std::optional<uint64_t> size = FileSize(path);
    if (!inner_.DeleteFile(path, error)) return false;
    // The space the file held is free again.
    if (diskSpace && size) *diskSpace += *size;
    return true;
}

bool FaultOs::ListDirectory(const std::string& path,
                            const std::function<void(const std::string&)>& visit) {
    if (!inner_.ListDirectory(path, visit)) return false;
    AddPhantoms(path, visit);
    return true;
}

std::string FaultOs::FolderPath(Handle folder) const {
    const auto known = folderPaths_.find(folder);
    return known == folderPaths_.end() ? std::string("?/") : known->second;
}

void FaultOs::Changed(Handle folder, const std::string& name) {
    changedPaths.push_back(FolderPath(folder) + name);
}

void FaultOs::AddPhantoms(const std::string& folderPath,
                          const std::function<void(const std::string&)>& visit) const {
    const auto phantom = phantomEntries.find(folderPath);
    if (phantom == phantomEntries.end()) return;
    for (uint32_t i = 0; i < phantom->second; ++i) visit("phantom-" + std::to_string(i));
}

Handle FaultOs::OpenFolder(const std::string& path, long* error) {
    const Handle folder = inner_.OpenFolder(path, error);
    if (folder != platform::kInvalidHandle) {
        folderPaths_[folder] = AddTrailingBackslash(path);
    }
    return folder;
}

Handle FaultOs::OpenSubfolder(Handle folder, const std::string& name, long* error) {
    Changed(folder, name);
    const Handle subfolder = inner_.OpenSubfolder(folder, name, error);
    if (subfolder != platform::kInvalidHandle) folderPaths_[subfolder] = FolderPath(folder) + name + kPathSeparator;
    return subfolder;
}

bool FaultOs::CreateNewFileIn(Handle folder, const std::string& name, long* error) {
    Changed(folder, name);
    return inner_.CreateNewFileIn(folder, name, error);
}

bool FaultOs::DeleteFileIn(Handle folder, const std::string& name, long* error) {
    Changed(folder, name);
    return inner_.DeleteFileIn(folder, name, error);
}

bool FaultOs::ListFolder(Handle folder, const std::function<void(const std::string&)>& visit) {
    if (!inner_.ListFolder(folder, visit)) return false;
    AddPhantoms(FolderPath(folder), visit);
    return true;
}

platform::Os::Placement FaultOs::PlaceNewFile(Handle folder, const std::string& name,
                                              const uint8_t* bytes, size_t size, long* error) {
    Changed(folder, name);
    if (beforePlacement) beforePlacement(FolderPath(folder), name);
    if (!TakeDiskSpace(size, error)) return Placement::Failed;
    return inner_.PlaceNewFile(folder, name, bytes, size, error);
}

platform::Os::Placement FaultOs::PlaceFileCopy(Handle folder, const std::string& name,
                                               const std::string& sourcePath, long* error) {
    Changed(folder, name);
    if (beforePlacement) beforePlacement(FolderPath(folder), name);
    if (!TakeDiskSpace(FileSize(sourcePath), error)) return Placement::Failed;
    return inner_.PlaceFileCopy(folder, name, sourcePath, error);
}

}  // namespace varrow::testing
