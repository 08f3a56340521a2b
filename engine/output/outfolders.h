// Temporary files and the rollover subfolders of the output.
#pragma once

#include <cstdint>
#include <string>

#include "platform/os.h"

namespace varrow {

// An output folder: its path, which names and log lines use, and the handle
// through which every file in it is made. The handle is invalid when the
// folder could not be opened; nothing can then be made in it.
struct FolderRef {
    std::string path;
    platform::Handle handle = platform::kInvalidHandle;
};

// Owns an open folder handle.
class FolderHandle {
public:
    FolderHandle() = default;
    explicit FolderHandle(platform::Handle handle) : handle_(handle) {}
    ~FolderHandle();
    FolderHandle(FolderHandle&& other) noexcept : handle_(other.Release()) {}
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    platform::Handle Get() const { return handle_; }
    platform::Handle Release();

private:
    platform::Handle handle_ = platform::kInvalidHandle;
};

// Opens the destination folder once for the whole output.
FolderHandle OpenOutputFolder(const std::string& path);
// Makes the rollover subfolder name in the destination, unless it is
// there, and opens it; an invalid handle when that fails or a link or a
// file is at name.
FolderHandle OpenRolloverFolder(platform::Handle destination, const std::string& name);

// The user's temporary folder ending with a separator; empty when the
// system cannot tell.
std::string GetTempDirectory();
// The path of a new, empty file in the temporary folder whose name begins
// with "QXT"; empty when none can be made.
std::string MakeTempFileName();
// Entries of folder, files and folders alike, without "." and ".."; 0 when
// it cannot be listed.
uint32_t CountFolderEntries(const std::string& folder);
// The same through the folder's handle.
uint32_t CountFolderEntries(const FolderRef& folder);
// "Recovered_Msg" followed by the process-wide counter, which then
// advances. The counter starts at 1 and is never reset by a recovery.
std::string NextSubfolderName();
// Sets the process-wide counter (tests only).
void SetSubfolderCounter(uint32_t value);

}  // namespace varrow
