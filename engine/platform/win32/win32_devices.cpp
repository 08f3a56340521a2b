// Disks and volumes: DeviceIoControl for a disk's length and geometry, the
// free-space functions for a volume's capacity and sector size.
#include "platform/win32/windows_api.h"
#include "platform/win32/win32_os.h"

namespace varrow::platform {

namespace {

HANDLE Win(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

template <typename Answer>
bool AskDevice(Handle handle, DWORD request, Answer* answer) {
    DWORD returned = 0;
    return handle != kInvalidHandle && handle != 0 &&
           DeviceIoControl(Win(handle), request, nullptr, 0, answer, sizeof(Answer), &returned, nullptr) &&
           returned >= sizeof(Answer);
}

using GetDiskFreeSpaceExFunction = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// The 64-bit free-space query, looked up in the loaded kernel32 on every
// call: systems before it have only the 32-bit cluster query.
GetDiskFreeSpaceExFunction FindDiskFreeSpaceEx() {
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return nullptr;
    return reinterpret_cast<GetDiskFreeSpaceExFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
}

}  // namespace

bool Win32Os::IsBlockDevice(Handle handle) {
    uint64_t length = 0;
    return handle != kInvalidHandle && GetFileType(Win(handle)) == FILE_TYPE_DISK && DiskLength(handle, &length);
}

// A whole disk is named \\.\PHYSICALDRIVEn on Windows, and the reader
// recognises that name itself (case-sensitively); no other name is one.
bool Win32Os::IsWholeDisk(const std::string& /*path*/) { return false; }

bool Win32Os::DiskLength(Handle handle, uint64_t* length) {
    GET_LENGTH_INFORMATION answer{};
    if (!AskDevice(handle, IOCTL_DISK_GET_LENGTH_INFO, &answer)) return false;
    *length = static_cast<uint64_t>(answer.Length.QuadPart);
    return true;
}

bool Win32Os::DiskGeometry(Handle handle, platform::DiskGeometry* geometry) {
    DISK_GEOMETRY answer{};
    if (!AskDevice(handle, IOCTL_DISK_GET_DRIVE_GEOMETRY, &answer)) return false;
    geometry->cylinders = answer.Cylinders.QuadPart;
    geometry->mediaType = static_cast<uint32_t>(answer.MediaType);
    geometry->tracksPerCylinder = answer.TracksPerCylinder;
    geometry->sectorsPerTrack = answer.SectorsPerTrack;
    geometry->bytesPerSector = answer.BytesPerSector;
    return true;
}

bool Win32Os::DiskSectorSize(Handle handle, uint32_t* bytesPerSector) {
    platform::DiskGeometry geometry;
    if (!DiskGeometry(handle, &geometry) || geometry.bytesPerSector == 0) return false;
    *bytesPerSector = geometry.bytesPerSector;
    return true;
}

bool Win32Os::VolumeSectorSize(const std::string& root, uint32_t* bytesPerSector) {
    DWORD sectorsPerCluster = 0, sectorSize = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &sectorSize, &freeClusters, &totalClusters)) {
        return false;
    }
    *bytesPerSector = sectorSize;
    return true;
}

bool Win32Os::HasVolumeSpace64() { return FindDiskFreeSpaceEx() != nullptr; }

bool Win32Os::VolumeSpace64(const std::string& root, uint64_t* availableToCaller, uint64_t* total) {
    const GetDiskFreeSpaceExFunction query = FindDiskFreeSpaceEx();
    ULARGE_INTEGER available{}, bytes{};
    if (!query || !query(root.c_str(), &available, &bytes, nullptr)) return false;
    *availableToCaller = available.QuadPart;
    *total = bytes.QuadPart;
    return true;
}

bool Win32Os::VolumeSpaceClusters(const std::string& root, VolumeClusters* clusters) {
    DWORD sectorsPerCluster = 0, sectorSize = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &sectorSize, &freeClusters, &totalClusters)) {
        return false;
    }
    clusters->sectorsPerCluster = sectorsPerCluster;
    clusters->bytesPerSector = sectorSize;
    clusters->freeClusters = freeClusters;
    clusters->totalClusters = totalClusters;
    return true;
}

// The image libraries are the build's (none in the MinGW build).
std::unique_ptr<DiskImage> Win32Os::OpenDiskImage(const std::string& path) { return OpenLibraryImage(path); }

}  // namespace varrow::platform
