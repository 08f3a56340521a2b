// Disks, partitions and file-system capacities.
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "platform/posix/posix_os.h"

namespace varrow::platform {

namespace {

int Fd(Handle handle) { return static_cast<int>(handle); }

std::string SysfsEntryOf(dev_t device) {
    return "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

// The directory at which the block device path is mounted, if any.
std::string MountPointOfDevice(const std::string& path) {
    struct stat wanted {};
    if (stat(path.c_str(), &wanted) != 0 || !S_ISBLK(wanted.st_mode)) return {};
    std::ifstream mounts("/proc/self/mounts");
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string source, target;
        if (!(fields >> source >> target)) continue;
        struct stat candidate {};
        if (stat(source.c_str(), &candidate) == 0 && S_ISBLK(candidate.st_mode) &&
            candidate.st_rdev == wanted.st_rdev) {
            return target;  // the mount table escapes blanks as \040; rare enough to accept
        }
    }
    return {};
}

// The folder whose file system a volume root names: the root itself when
// it is a folder, the mount point when it is a mounted block device.
std::string FileSystemFolderOf(const std::string& root) {
    struct stat status {};
    if (stat(root.c_str(), &status) != 0) return {};
    if (S_ISDIR(status.st_mode)) return root;
    return MountPointOfDevice(root);
}

}  // namespace

bool PosixOs::IsBlockDevice(Handle handle) {
    struct stat status {};
    return handle != kInvalidHandle && fstat(Fd(handle), &status) == 0 && S_ISBLK(status.st_mode);
}

bool PosixOs::IsWholeDisk(const std::string& path) {
    struct stat status {};
    if (stat(path.c_str(), &status) != 0 || !S_ISBLK(status.st_mode)) return false;
    const std::string entry = SysfsEntryOf(status.st_rdev);
    struct stat sysfs {};
    if (stat(entry.c_str(), &sysfs) != 0) return false;
    return access((entry + "/partition").c_str(), F_OK) != 0;
}

bool PosixOs::DiskLength(Handle handle, uint64_t* length) {
    uint64_t bytes = 0;
    if (ioctl(Fd(handle), BLKGETSIZE64, &bytes) != 0) return false;
    *length = bytes;
    return true;
}

bool PosixOs::DiskGeometry(Handle handle, platform::DiskGeometry* geometry) {
    struct hd_geometry reported {};
    if (ioctl(Fd(handle), HDIO_GETGEO, &reported) != 0) return false;
    int sectorSize = 0;
    if (ioctl(Fd(handle), BLKSSZGET, &sectorSize) != 0 || sectorSize <= 0) sectorSize = 512;
    geometry->cylinders = reported.cylinders;
    geometry->mediaType = 12;  // fixed media
    geometry->tracksPerCylinder = reported.heads;
    geometry->sectorsPerTrack = reported.sectors;
    geometry->bytesPerSector = static_cast<uint32_t>(sectorSize);
    return true;
}

bool PosixOs::DiskSectorSize(Handle handle, uint32_t* bytesPerSector) {
    int sectorSize = 0;
    if (ioctl(Fd(handle), BLKSSZGET, &sectorSize) != 0 || sectorSize <= 0) return false;
    *bytesPerSector = static_cast<uint32_t>(sectorSize);
    return true;
}

bool PosixOs::VolumeSectorSize(const std::string& root, uint32_t* bytesPerSector) {
    struct stat status {};
    if (stat(root.c_str(), &status) != 0 || !S_ISBLK(status.st_mode)) return false;
    const int fd = ::open(root.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    const bool known = DiskSectorSize(fd, bytesPerSector);
    ::close(fd);
    return known;
}

bool PosixOs::HasVolumeSpace64() { return true; }

bool PosixOs::VolumeSpace64(const std::string& root, uint64_t* availableToCaller,
                            uint64_t* total) {
    const std::string folder = FileSystemFolderOf(root);
    struct statvfs space {};
    if (folder.empty() || statvfs(folder.c_str(), &space) != 0) return false;
    *availableToCaller = uint64_t{space.f_bavail} * space.f_frsize;
    *total = uint64_t{space.f_blocks} * space.f_frsize;
    return true;
}

bool PosixOs::VolumeSpaceClusters(const std::string& root, VolumeClusters* clusters) {
    const std::string folder = FileSystemFolderOf(root);
    struct statvfs space {};
    if (folder.empty() || statvfs(folder.c_str(), &space) != 0) return false;
    constexpr uint64_t kMaxClusters = std::numeric_limits<uint32_t>::max();
    clusters->bytesPerSector = 512;
    clusters->sectorsPerCluster = static_cast<uint32_t>(std::max<uint64_t>(space.f_frsize / 512, 1));
    clusters->totalClusters = static_cast<uint32_t>(std::min<uint64_t>(space.f_blocks, kMaxClusters));
    clusters->freeClusters = static_cast<uint32_t>(std::min<uint64_t>(space.f_bavail, kMaxClusters));
    return true;
}

std::unique_ptr<DiskImage> PosixOs::OpenDiskImage(const std::string& path) {
    return OpenLibraryImage(path);
}

}  // namespace varrow::platform
