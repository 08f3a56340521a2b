// A simulated device underneath the engine's Os, for tests.
//
// Paths registered with AddDevice open a device held in memory whose sector
// size, failing sectors, failing or misplaced seeks and size answers the test
// chooses, and which counts its calls. Paths registered with AddImage open
// as a simulated disk image of the image-library kind, with damaged and
// failing areas. Every other path and handle goes to the real system.
// Calls may come from two threads (the fast scan's read-ahead).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "forwarding_os.h"

namespace varrow::testing {

struct SimDevice {
    std::vector<uint8_t> bytes;
    uint32_t sectorSize = 512;
    bool blockDevice = false;
    bool wholeDisk = false;
    bool answersLength = false;  // DiskLength succeeds with reportedLength
    uint64_t reportedLength = 0;
    bool answersGeometry = false;
    platform::DiskGeometry geometry;
    std::set<uint64_t> badSectors;  // reads touching these sector numbers fail with kErrorIo
    std::function<bool(uint64_t)> seekFails;        // a seek to this position fails
    std::function<uint64_t(uint64_t)> seekLandsAt;  // where a seek to a position lands
    long openError = 0;                             // non-zero: every open fails with it

    // Counters, for the tests that check how the reader moves.
    int opens = 0;
    int reads = 0;
    int seeks = 0;
    std::vector<std::pair<uint64_t, uint32_t>> readLog;  // position and size of each read
    int sequentialAdvice = 0;
    std::vector<std::pair<uint64_t, uint64_t>> droppedRanges;  // position and length
    void ResetCounters() {
        reads = seeks = 0;
        readLog.clear();
    }
};

// The media of a simulated disk image, as an image library would read it.
struct SimImage {
    std::vector<uint8_t> media;
    uint32_t sectorSize = 512;  // what the image records; 0 for nothing
    std::string format = "EWF (E01)";
    uint32_t files = 1;
    // Delivered as zeros and reported as damaged, as libewf does with a
    // chunk whose checksum fails.
    std::vector<platform::MediaRange> damaged;
    // Reads that touch these fail.
    std::vector<platform::MediaRange> failing;

    int reads = 0;
    std::vector<std::pair<uint64_t, uint32_t>> readLog;  // position and size of each read
};

class SimOs : public ForwardingOs {
public:
    SimOs();
    // The device behind path; registered at its first use.
    SimDevice& AddDevice(const std::string& path);
    // The image in the file at path, which opens as a plain device too.
    SimImage& AddImage(const std::string& path);
    int OpenHandles() const { return static_cast<int>(open_.size()); }

    platform::Handle Open(const std::string& path, const platform::OpenRequest& request,
                          long* error) override;
    bool Close(platform::Handle handle, long* error) override;
    bool Read(platform::Handle handle, void* buffer, uint32_t count, uint32_t* got,
              long* error) override;
    bool Write(platform::Handle handle, const void* buffer, uint32_t count, uint32_t* written,
               long* error) override;
    bool Seek(platform::Handle handle, int64_t offset, platform::SeekFrom from,
              uint64_t* position, long* error) override;
    bool GetSize(platform::Handle handle, uint64_t* size, long* error) override;
    bool SetEnd(platform::Handle handle, long* error) override;
    bool Flush(platform::Handle handle, long* error) override;
    platform::Handle Duplicate(platform::Handle handle, long* error) override;
    bool LockRange(platform::Handle handle, uint64_t position, uint64_t count,
                   long* error) override;
    bool UnlockRange(platform::Handle handle, uint64_t position, uint64_t count,
                     long* error) override;
    // Acts as a seek to position followed by one read, and leaves the
    // handle's position alone.
    bool ReadAt(platform::Handle handle, uint64_t position, void* buffer, uint32_t count,
                uint32_t* got, long* error) override;
    void AdviseSequential(platform::Handle handle) override;
    void DropCachedRange(platform::Handle handle, uint64_t position, uint64_t length) override;

    bool IsBlockDevice(platform::Handle handle) override;
    bool IsWholeDisk(const std::string& path) override;
    bool DiskLength(platform::Handle handle, uint64_t* length) override;
    bool DiskGeometry(platform::Handle handle, platform::DiskGeometry* geometry) override;
    bool DiskSectorSize(platform::Handle handle, uint32_t* bytesPerSector) override;
    bool VolumeSectorSize(const std::string& root, uint32_t* bytesPerSector) override;
    bool HasVolumeSpace64() override;
    bool VolumeSpace64(const std::string& root, uint64_t* availableToCaller,
                       uint64_t* total) override;
    bool VolumeSpaceClusters(const std::string& root, platform::VolumeClusters* clusters) override;
    std::unique_ptr<platform::DiskImage> OpenDiskImage(const std::string& path) override;

    // A registered device exists under its path.
    bool Exists(const std::string& path) override;
    // A registered device's path is absolute as it stands, as a device
    // name such as \\.\C: is on Windows.
    std::string FullPath(const std::string& path) override;

    // Volume answers for roots that tests name.
    bool volumeSpace64Available = true;
    std::map<std::string, uint64_t> volumeTotals;
    std::map<std::string, platform::VolumeClusters> volumeClusters;
    std::map<std::string, uint32_t> volumeSectorSizes;

private:
    struct OpenDevice {
        SimDevice* device;
        uint64_t position;
    };
    OpenDevice* Find(platform::Handle handle);
    // One read of the device at from; a read touching a bad sector fails.
    static bool ReadDevice(SimDevice& device, uint64_t from, void* buffer, uint32_t count,
                           uint32_t* got, long* error);

    std::recursive_mutex mutex_;
    std::map<std::string, std::unique_ptr<SimDevice>> devices_;
    std::map<std::string, std::unique_ptr<SimImage>> images_;
    std::map<platform::Handle, OpenDevice> open_;
    platform::Handle nextHandle_ = platform::Handle{1} << 40;
};

}  // namespace varrow::testing
