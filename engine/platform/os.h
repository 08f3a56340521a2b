// The engine's only door to the operating system.
//
// Every system call of the engine goes through one Os object, so that a
// Win32 implementation can sit beside the POSIX one and tests can put a
// simulated device or injected faults underneath. Calls report failure by
// result and an OS error code (errno on POSIX); none of them raises.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/disk_image.h"

namespace varrow::platform {

using Handle = intptr_t;
inline constexpr Handle kInvalidHandle = -1;

enum class Access { Read, Write, ReadWrite, None };
enum class Share { Exclusive, DenyWrite, DenyRead, DenyNone };
enum class Disposition { OpenExisting, CreateAlways, OpenAlways };
enum class SeekFrom { Begin = 0, Current = 1, End = 2 };

struct OpenRequest {
    Access access = Access::Read;
    Share share = Share::DenyNone;
    Disposition disposition = Disposition::OpenExisting;
    bool inherit = true;
};

// What a disk reports about its layout (DISK_GEOMETRY).
struct DiskGeometry {
    int64_t cylinders = 0;
    uint32_t mediaType = 0;
    uint32_t tracksPerCylinder = 0;
    uint32_t sectorsPerTrack = 0;
    uint32_t bytesPerSector = 0;
};

// The cluster form of a volume's capacity (GetDiskFreeSpaceA).
struct VolumeClusters {
    uint32_t sectorsPerCluster = 0;
    uint32_t bytesPerSector = 0;
    uint32_t freeClusters = 0;
    uint32_t totalClusters = 0;
};

class Os {
public:
    virtual ~Os() = default;

    // --- Handles -------------------------------------------------------
    // Opens or creates a file or device. Returns kInvalidHandle and sets
    // *error on failure. A share mode that another opener excludes fails
    // with an error that maps to a sharing violation.
    virtual Handle Open(const std::string& path, const OpenRequest& request, long* error) = 0;
    virtual bool Close(Handle handle, long* error) = 0;
    // One read at the handle's file pointer; *got may be below count.
    virtual bool Read(Handle handle, void* buffer, uint32_t count, uint32_t* got, long* error) = 0;
    // Writes all of count unless an error stops it; *written tells how far.
    virtual bool Write(Handle handle, const void* buffer, uint32_t count, uint32_t* written,
                       long* error) = 0;
    virtual bool Seek(Handle handle, int64_t offset, SeekFrom from, uint64_t* position,
                      long* error) = 0;
    virtual bool GetSize(Handle handle, uint64_t* size, long* error) = 0;
    // Ends the file at the handle's file pointer.
    virtual bool SetEnd(Handle handle, long* error) = 0;
    virtual bool Flush(Handle handle, long* error) = 0;
    virtual Handle Duplicate(Handle handle, long* error) = 0;
    virtual bool LockRange(Handle handle, uint64_t position, uint64_t count, long* error) = 0;
    virtual bool UnlockRange(Handle handle, uint64_t position, uint64_t count, long* error) = 0;
    // Reads count bytes at position without using or moving the handle's
    // file pointer (pread). *got below count means the source ends there or
    // an unreadable area begins there. Fails like a failed or misplaced
    // positioning followed by a read: nothing is delivered.
    virtual bool ReadAt(Handle handle, uint64_t position, void* buffer, uint32_t count,
                        uint32_t* got, long* error) = 0;
    // Hints for a long front-to-back read: read ahead of it, and forget the
    // cached copy of a range it has passed. Neither can fail in a way that
    // matters to the reader.
    virtual void AdviseSequential(Handle handle) = 0;
    virtual void DropCachedRange(Handle handle, uint64_t position, uint64_t length) = 0;

    // --- Devices -------------------------------------------------------
    virtual bool IsBlockDevice(Handle handle) = 0;
    // True for a whole physical disk (not a partition) named by path.
    virtual bool IsWholeDisk(const std::string& path) = 0;
    virtual bool DiskLength(Handle handle, uint64_t* length) = 0;
    virtual bool DiskGeometry(Handle handle, platform::DiskGeometry* geometry) = 0;
    virtual bool DiskSectorSize(Handle handle, uint32_t* bytesPerSector) = 0;
    virtual bool VolumeSectorSize(const std::string& root, uint32_t* bytesPerSector) = 0;
    // Whether the 64-bit capacity query exists on this system.
    virtual bool HasVolumeSpace64() = 0;
    virtual bool VolumeSpace64(const std::string& root, uint64_t* availableToCaller,
                               uint64_t* total) = 0;
    virtual bool VolumeSpaceClusters(const std::string& root, VolumeClusters* clusters) = 0;
    // The disk image stored in the file at path, when an image library of
    // this build knows its format and it is not a single plain raw file
    // (see OpenLibraryImage); null otherwise.
    virtual std::unique_ptr<DiskImage> OpenDiskImage(const std::string& path) = 0;

    // --- Files and folders by name --------------------------------------
    virtual std::string CurrentDirectory() = 0;
    // The absolute form of path, resolved against the current directory;
    // the path need not exist. Empty when it cannot be formed.
    virtual std::string FullPath(const std::string& path) = 0;
    // The longest path the system accepts, in bytes, without the zero.
    virtual size_t MaxPathLength() = 0;
    // The user's temporary folder, with a trailing separator; empty when the
    // system cannot tell.
    virtual std::string TempDirectory() = 0;
    // Creates a new empty file named prefix + unique part in folder and
    // returns its path; empty on failure.
    virtual std::string CreateTempFile(const std::string& folder, const std::string& prefix) = 0;
    // True when anything is there, a dangling symbolic link included.
    virtual bool Exists(const std::string& path) = 0;
    virtual bool IsDirectory(const std::string& path) = 0;
    // True when the path itself is a symbolic link, whatever it points to.
    virtual bool IsSymbolicLink(const std::string& path) = 0;
    // Creates a file that must not exist yet, without following links, then
    // closes it.
    virtual bool CreateNewFile(const std::string& path, long* error) = 0;
    virtual bool CreateDirectory(const std::string& path, long* error) = 0;
    // Calls visit with every entry name of a folder, "." and ".." excluded.
    virtual bool ListDirectory(const std::string& path,
                               const std::function<void(const std::string&)>& visit) = 0;
    virtual bool DeleteFile(const std::string& path, long* error) = 0;

    // --- Output folders, by handle -------------------------------------
    // Messages are placed through a handle to their folder, opened once:
    // a folder swapped for a link while a recovery runs changes nothing,
    // and no name is ever looked up again through the folder's path.
    // Names are single path components.

    // Opens the folder at path for making files in it.
    virtual Handle OpenFolder(const std::string& path, long* error) = 0;
    // Makes the subfolder name inside folder unless it is there, and opens
    // it; refuses a link or anything else that is not a folder at name.
    virtual Handle OpenSubfolder(Handle folder, const std::string& name, long* error) = 0;
    // True when anything is at name in folder, a dangling link included.
    virtual bool ExistsIn(Handle folder, const std::string& name) = 0;
    // Creates an empty file at name in folder that must not exist yet,
    // without following links, then closes it.
    virtual bool CreateNewFileIn(Handle folder, const std::string& name, long* error) = 0;
    virtual bool DeleteFileIn(Handle folder, const std::string& name, long* error) = 0;
    // Calls visit with every entry name of the folder, "." and ".." excluded.
    virtual bool ListFolder(Handle folder, const std::function<void(const std::string&)>& visit) = 0;

    enum class Placement { Placed, NameTaken, Failed };
    // Makes the file name in folder, holding exactly the size bytes given,
    // readable by others as new files are. Never replaces anything: when
    // name is taken, by whatever, the result is NameTaken and nothing
    // changed. Never leaves a partial file under name. A run killed in the
    // middle may leave a staging file named ".ostrel-<process id>-..." in
    // the folder on file systems that cannot hold unnamed files.
    virtual Placement PlaceNewFile(Handle folder, const std::string& name, const uint8_t* bytes,
                                   size_t size, long* error) = 0;
    // The same with the bytes of the file at sourcePath.
    virtual Placement PlaceFileCopy(Handle folder, const std::string& name,
                                    const std::string& sourcePath, long* error) = 0;

    // --- Text ----------------------------------------------------------
    // Converts bytes in the named character set (a MIME charset name such as
    // "iso-8859-1" or "shift_jis") to UTF-8. False, with *utf8 untouched,
    // when the set is unknown or the bytes are not valid in it.
    virtual bool ConvertToUtf8(const std::string& charset, const std::string& bytes, std::string* utf8) = 0;

    // --- File times ------------------------------------------------------
    // Sets the modification and access time of the file name in folder,
    // without following a link there.
    virtual bool SetFileTimesIn(Handle folder, const std::string& name, int64_t secondsSince1970) = 0;

    // --- Memory --------------------------------------------------------
    // Page-aligned, committed memory straight from the system's page
    // allocator; null when there is none.
    virtual void* AllocatePages(size_t size) = 0;
    virtual void FreePages(void* memory, size_t size) = 0;
};

// The Os in use: the system's own, unless a test put another in place.
Os& CurrentOs();
// The system's own Os.
Os& SystemOs();

// Puts an Os in place for the lifetime of this object (tests only).
class ScopedOs {
public:
    explicit ScopedOs(Os& os);
    ~ScopedOs();
    ScopedOs(const ScopedOs&) = delete;
    ScopedOs& operator=(const ScopedOs&) = delete;

private:
    Os* previous_;
};

}  // namespace varrow::platform
