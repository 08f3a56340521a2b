#include "source/devsize.h"

namespace varrow {

int32_t QueryDeviceLength(platform::Handle handle, uint64_t* length) {
    if (handle == 0 || handle == platform::kInvalidHandle || length == nullptr) return 0;
    platform::Os& os = platform::CurrentOs();
    uint64_t reported = 0;
    if (os.DiskLength(handle, &reported)) {
        *length = reported;
        return 1;
    }
    platform::DiskGeometry geometry;
    if (!os.DiskGeometry(handle, &geometry)) return 0;
    *length = uint64_t{geometry.bytesPerSector} * geometry.sectorsPerTrack *
              geometry.tracksPerCylinder * static_cast<uint64_t>(geometry.cylinders);
    return 1;
}

int32_t QueryVolumeSize(const char* root, uint64_t* size) {
    if (root == nullptr || size == nullptr) return 0;
    platform::Os& os = platform::CurrentOs();
    if (os.HasVolumeSpace64()) {
        uint64_t available = 0;
        uint64_t total = 0;
        if (!os.VolumeSpace64(root, &available, &total)) return 0;
        *size = total;
        return 1;
    }
    platform::VolumeClusters clusters;
    if (!os.VolumeSpaceClusters(root, &clusters)) return 0;
    *size = uint64_t{clusters.sectorsPerCluster} * clusters.bytesPerSector *
            clusters.totalClusters;
    return 1;
}

}  // namespace varrow
