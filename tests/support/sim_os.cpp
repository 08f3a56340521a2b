#include "sim_os.h"

#include <algorithm>
#include <cstring>

#include "system_facts.h"

namespace varrow::testing {

using platform::Handle;

SimOs::SimOs() : ForwardingOs(platform::SystemOs()) {}

SimDevice& SimOs::AddDevice(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto& slot = devices_[path];
    if (!slot) slot = std::make_unique<SimDevice>();
    return *slot;
}

SimImage& SimOs::AddImage(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    SimDevice& file = AddDevice(path);
    if (file.bytes.empty()) file.bytes.assign(4096, 0x45);  // the container's own bytes
    auto& slot = images_[path];
    if (!slot) slot = std::make_unique<SimImage>();
    return *slot;
}

namespace {

// A simulated image as the engine sees it through its Os.
class SimDiskImage : public platform::DiskImage {
public:
    SimDiskImage(SimImage& image, std::recursive_mutex& mutex) : image_(image), mutex_(mutex) {}

    std::string FormatName() const override { return image_.format; }
    uint32_t FileCount() const override { return image_.files; }
    uint64_t MediaSize() const override { return image_.media.size(); }
    uint32_t SectorSize() const override { return image_.sectorSize; }

    bool Read(uint64_t position, void* buffer, uint32_t count,
              std::vector<platform::MediaRange>* damaged) override {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        ++image_.reads;
        image_.readLog.emplace_back(position, count);
        if (position + count > image_.media.size()) return false;
        const uint64_t end = position + count;
        for (const platform::MediaRange& range : image_.failing) {
            if (range.position < end && position < range.position + range.length) return false;
        }
        auto* bytes = static_cast<uint8_t*>(buffer);
        std::memcpy(bytes, image_.media.data() + position, count);
        for (const platform::MediaRange& range : image_.damaged) {
            const uint64_t from = std::max(range.position, position);
            const uint64_t to = std::min(range.position + range.length, end);
            if (from >= to) continue;
            std::memset(bytes + (from - position), 0, to - from);
            if (damaged) damaged->push_back({from, to - from});
        }
        return true;
    }

private:
    SimImage& image_;
    std::recursive_mutex& mutex_;
};

}  // namespace

std::unique_ptr<platform::DiskImage> SimOs::OpenDiskImage(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = images_.find(path);
    if (it == images_.end()) return inner_.OpenDiskImage(path);
    return std::make_unique<SimDiskImage>(*it->second, mutex_);
}

SimOs::OpenDevice* SimOs::Find(Handle handle) {
    auto it = open_.find(handle);
    return it == open_.end() ? nullptr : &it->second;
}

Handle SimOs::Open(const std::string& path, const platform::OpenRequest& request, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = devices_.find(path);
    if (it == devices_.end()) return inner_.Open(path, request, error);
    SimDevice& device = *it->second;
    ++device.opens;
    if (device.openError != 0) {
        *error = device.openError;
        return platform::kInvalidHandle;
    }
    const Handle handle = nextHandle_++;
    open_[handle] = OpenDevice{&device, 0};
    return handle;
}

bool SimOs::Close(Handle handle, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (open_.erase(handle) != 0) return true;
    return inner_.Close(handle, error);
}

bool SimOs::Read(Handle handle, void* buffer, uint32_t count, uint32_t* got, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.Read(handle, buffer, count, got, error);
    SimDevice& device = *open->device;
    ++device.reads;
    device.readLog.emplace_back(open->position, count);
    if (!ReadDevice(device, open->position, buffer, count, got, error)) return false;
    open->position += *got;
    return true;
}

bool SimOs::ReadDevice(SimDevice& device, uint64_t from, void* buffer, uint32_t count,
                       uint32_t* got, long* error) {
    const uint64_t size = device.bytes.size();
    const uint64_t to = std::min<uint64_t>(from + count, size);
    for (uint64_t at = from; at < to; at = (at / device.sectorSize + 1) * device.sectorSize) {
        if (device.badSectors.count(at / device.sectorSize)) {
            *got = 0;
            *error = kErrorIo;
            return false;
        }
    }
    const uint32_t n = from < to ? static_cast<uint32_t>(to - from) : 0;
    if (n) std::memcpy(buffer, device.bytes.data() + from, n);
    *got = n;
    return true;
}

bool SimOs::ReadAt(Handle handle, uint64_t position, void* buffer, uint32_t count, uint32_t* got,
                   long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.ReadAt(handle, position, buffer, count, got, error);
    SimDevice& device = *open->device;
    ++device.reads;
    device.readLog.emplace_back(position, count);
    const bool positioned = static_cast<int64_t>(position) >= 0 &&
                            !(device.seekFails && device.seekFails(position)) &&
                            !(device.seekLandsAt && device.seekLandsAt(position) != position);
    if (!positioned) {
        *got = 0;
        *error = kErrorInvalid;
        return false;
    }
    return ReadDevice(device, position, buffer, count, got, error);
}

void SimOs::AdviseSequential(Handle handle) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.AdviseSequential(handle);
    ++open->device->sequentialAdvice;
}

void SimOs::DropCachedRange(Handle handle, uint64_t position, uint64_t length) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.DropCachedRange(handle, position, length);
    open->device->droppedRanges.emplace_back(position, length);
}

bool SimOs::Write(Handle handle, const void* buffer, uint32_t count, uint32_t* written,
                  long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!Find(handle)) return inner_.Write(handle, buffer, count, written, error);
    *written = 0;
    *error = kErrorBadHandle;
    return false;
}

bool SimOs::Seek(Handle handle, int64_t offset, platform::SeekFrom from, uint64_t* position,
                 long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.Seek(handle, offset, from, position, error);
    SimDevice& device = *open->device;
    ++device.seeks;
    uint64_t base = 0;
    if (from == platform::SeekFrom::Current) base = open->position;
    if (from == platform::SeekFrom::End) base = device.bytes.size();
    const uint64_t target = base + static_cast<uint64_t>(offset);
    if (static_cast<int64_t>(target) < 0 || (device.seekFails && device.seekFails(target))) {
        *error = kErrorInvalid;
        return false;
    }
    open->position = device.seekLandsAt ? device.seekLandsAt(target) : target;
    *position = open->position;
    return true;
}

bool SimOs::GetSize(Handle handle, uint64_t* size, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.GetSize(handle, size, error);
    *size = open->device->bytes.size();
    return true;
}

bool SimOs::SetEnd(Handle handle, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!Find(handle)) return inner_.SetEnd(handle, error);
    *error = kErrorBadHandle;
    return false;
}

bool SimOs::Flush(Handle handle, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!Find(handle)) return inner_.Flush(handle, error);
    return true;
}

Handle SimOs::Duplicate(Handle handle, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.Duplicate(handle, error);
    const Handle copy = nextHandle_++;
    open_[copy] = *open;
    return copy;
}

bool SimOs::LockRange(Handle handle, uint64_t position, uint64_t count, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!Find(handle)) return inner_.LockRange(handle, position, count, error);
    return true;
}

bool SimOs::UnlockRange(Handle handle, uint64_t position, uint64_t count, long* error) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (!Find(handle)) return inner_.UnlockRange(handle, position, count, error);
    return true;
}

bool SimOs::IsBlockDevice(Handle handle) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    return open ? open->device->blockDevice : inner_.IsBlockDevice(handle);
}

bool SimOs::IsWholeDisk(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    auto it = devices_.find(path);
    return it != devices_.end() ? it->second->wholeDisk : inner_.IsWholeDisk(path);
}

bool SimOs::DiskLength(Handle handle, uint64_t* length) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.DiskLength(handle, length);
    if (!open->device->answersLength) return false;
    *length = open->device->reportedLength;
    return true;
}

bool SimOs::DiskGeometry(Handle handle, platform::DiskGeometry* geometry) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.DiskGeometry(handle, geometry);
    if (!open->device->answersGeometry) return false;
    *geometry = open->device->geometry;
    return true;
}

bool SimOs::DiskSectorSize(Handle handle, uint32_t* bytesPerSector) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    OpenDevice* open = Find(handle);
    if (!open) return inner_.DiskSectorSize(handle, bytesPerSector);
    if (!open->device->blockDevice) return false;
    *bytesPerSector = open->device->sectorSize;
    return true;
}

bool SimOs::VolumeSectorSize(const std::string& root, uint32_t* bytesPerSector) {
    auto it = volumeSectorSizes.find(root);
    if (it == volumeSectorSizes.end()) return inner_.VolumeSectorSize(root, bytesPerSector);
    *bytesPerSector = it->second;
    return true;
}

bool SimOs::HasVolumeSpace64() { return volumeSpace64Available; }

bool SimOs::VolumeSpace64(const std::string& root, uint64_t* availableToCaller, uint64_t* total) {
    auto it = volumeTotals.find(root);
    if (it == volumeTotals.end()) return inner_.VolumeSpace64(root, availableToCaller, total);
    *availableToCaller = it->second / 2;
    *total = it->second;
    return true;
}

bool SimOs::VolumeSpaceClusters(const std::string& root, platform::VolumeClusters* clusters) {
    auto it = volumeClusters.find(root);
    if (it == volumeClusters.end()) return inner_.VolumeSpaceClusters(root, clusters);
    *clusters = it->second;
    return true;
}

bool SimOs::Exists(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    return devices_.count(path) || inner_.Exists(path);
}

std::string SimOs::FullPath(const std::string& path) { return devices_.count(path) ? path : inner_.FullPath(path); }

}  // namespace varrow::testing
