// An Os that hands every call to another Os, except where a test injects a
// fault: a disk that fills up, a region of a source whose reads fail, opens
// or temporary files that cannot be had, folders that seem to hold more
// entries than they do. It also keeps a journal of every path the engine
// creates, writes, copies to or deletes, so that a test can check that
// nothing was changed outside the folders it allowed. Reads may come from
// two threads (the fast scan's read-ahead).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "forwarding_os.h"

namespace varrow::testing {

class FaultOs : public ForwardingOs {
public:
    // inner answers everything that no fault intercepts; it must outlive this.
    explicit FaultOs(platform::Os& inner);

    // --- Faults ------------------------------------------------------------
    // Bytes that writes and placements may still store. A write that does
    // not fit stores what does and fails with kErrorDiskFull; a placement
    // that does not fit fails with it before anything is stored (it is all or
    // nothing). Deleting a file by path gives its bytes back.
    std::optional<uint64_t> diskSpace;
    // Every read of path (by handle or by position) that touches [begin, end)
    // fails with kErrorIo; a positioned read that starts before the region
    // delivers the bytes up to it, as a disk does before a bad area. Reads
    // from the end of the file on end there as usual: only the medium fails.
    void FailReads(const std::string& path, uint64_t begin, uint64_t end);
    // A disk image opened from path delivers [begin, end) of its media as
    // zeros and reports it damaged, as libewf does with chunks whose
    // checksum fails.
    void DamageImage(const std::string& path, uint64_t begin, uint64_t end);
    // A non-zero answer makes the open fail with that error code.
    std::function<long(const std::string& path, const platform::OpenRequest& request)> openError;
    // True: CreateTempFile makes nothing and returns an empty path.
    std::function<bool()> tempFileFails;
    // ListDirectory reports this many more entries for a folder (the path as
    // the engine passes it) than the folder holds.
    std::map<std::string, uint32_t> phantomEntries;

    // --- What happened -----------------------------------------------------
    // Paths that were created, opened for writing, copied to, or deleted, in
    // call order; temporary files by the path CreateTempFile returned.
    std::vector<std::string> changedPaths;
    int failedWrites = 0;
    std::atomic<int> failedReads = 0;
    std::atomic<int> damagedImageReads = 0;

    // Called before a message file is placed under name in a folder whose
    // path is folder; a test puts something there to play a second program
    // that takes the name between the engine's look-up and its placement.
    std::function<void(const std::string& folder, const std::string& name)> beforePlacement;

    platform::Handle Open(const std::string& path, const platform::OpenRequest& request,
                          long* error) override;
    bool Close(platform::Handle handle, long* error) override;
    bool Read(platform::Handle handle, void* buffer, uint32_t count, uint32_t* got,
              long* error) override;
    bool Write(platform::Handle handle, const void* buffer, uint32_t count, uint32_t* written,
               long* error) override;
    bool ReadAt(platform::Handle handle, uint64_t position, void* buffer, uint32_t count,
                uint32_t* got, long* error) override;

    std::unique_ptr<platform::DiskImage> OpenDiskImage(const std::string& path) override;

    std::string CreateTempFile(const std::string& folder, const std::string& prefix) override;
    bool CreateNewFile(const std::string& path, long* error) override;
    bool CreateDirectory(const std::string& path, long* error) override;
    bool ListDirectory(const std::string& path,
                       const std::function<void(const std::string&)>& visit) override;
    bool DeleteFile(const std::string& path, long* error) override;

    platform::Handle OpenFolder(const std::string& path, long* error) override;
    platform::Handle OpenSubfolder(platform::Handle folder, const std::string& name,
                                   long* error) override;
    bool CreateNewFileIn(platform::Handle folder, const std::string& name, long* error) override;
    bool DeleteFileIn(platform::Handle folder, const std::string& name, long* error) override;
    bool ListFolder(platform::Handle folder,
                    const std::function<void(const std::string&)>& visit) override;
    Placement PlaceNewFile(platform::Handle folder, const std::string& name, const uint8_t* bytes,
                           size_t size, long* error) override;
    Placement PlaceFileCopy(platform::Handle folder, const std::string& name,
                            const std::string& sourcePath, long* error) override;

private:
    struct Region {
        uint64_t begin;
        uint64_t end;
    };
    // The failing region that [position, position + count) touches first.
    const Region* FailingRegion(platform::Handle handle, uint64_t position, uint64_t count);
    // Takes size bytes of the simulated free space; false, with a disk-full error,
    // when they are not there. An unknown size takes nothing.
    bool TakeDiskSpace(std::optional<uint64_t> size, long* error);
    // The size of the file at path, or nothing when it cannot be had.
    std::optional<uint64_t> FileSize(const std::string& path);

    // The path of a folder handle, for the journal: "folder/".
    std::string FolderPath(platform::Handle folder) const;
    // Records an entry made or removed in folder, and lists phantoms.
    void Changed(platform::Handle folder, const std::string& name);
    void AddPhantoms(const std::string& folderPath,
                     const std::function<void(const std::string&)>& visit) const;

    std::map<std::string, std::vector<Region>> failingReads_;
    std::map<std::string, std::vector<Region>> damagedImages_;
    std::map<platform::Handle, std::string> openPaths_;
    std::map<platform::Handle, std::string> folderPaths_;
};

}  // namespace varrow::testing
