#include "output/outfolders.h"

#include "base/messages.h"
#include "base/paths.h"
#include "platform/os.h"

namespace varrow {

namespace {

constexpr char kTempFilePrefix[] = "QXT";

// One counter for the whole process: subfolders made by the recoveries of
// one process continue each other's numbering.
uint32_t subfolderCounter = 1;

}  // namespace

std::string GetTempDirectory() { return platform::CurrentOs().TempDirectory(); }

std::string MakeTempFileName() {
    const std::string folder = GetTempDirectory();
    // Without a temporary folder the file would land in the current
    // directory; the caller's open of the empty name fails and reports it.
    if (folder.empty()) return {};
    return platform::CurrentOs().CreateTempFile(folder, kTempFilePrefix);
}

uint32_t CountFolderEntries(const std::string& folder) {
    uint32_t count = 0;
    const bool listed = platform::CurrentOs().ListDirectory(
        AddTrailingBackslash(folder), [&count](const std::string&) { ++count; });
    return listed ? count : 0;
}

uint32_t CountFolderEntries(const FolderRef& folder) {
    if (folder.handle == platform::kInvalidHandle) return 0;
    uint32_t count = 0;
    const bool listed =
        platform::CurrentOs().ListFolder(folder.handle, [&count](const std::string&) { ++count; });
    return listed ? count : 0;
}

FolderHandle::~FolderHandle() {
    if (handle_ == platform::kInvalidHandle) return;
    long ignored = 0;
    platform::CurrentOs().Close(handle_, &ignored);
}

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        FolderHandle old(Release());
        handle_ = other.Release();
    }
    return *this;
}

platform::Handle FolderHandle::Release() {
    const platform::Handle handle = handle_;
    handle_ = platform::kInvalidHandle;
    return handle;
}

FolderHandle OpenOutputFolder(const std::string& path) {
    long ignored = 0;
    return FolderHandle(platform::CurrentOs().OpenFolder(path, &ignored));
}

FolderHandle OpenRolloverFolder(platform::Handle destination, const std::string& name) {
    if (destination == platform::kInvalidHandle) return {};
    long ignored = 0;
    return FolderHandle(platform::CurrentOs().OpenSubfolder(destination, name, &ignored));
}

std::string NextSubfolderName() {
    return FormatText(EngineText(kTextSubfolderPattern),
                      static_cast<unsigned long>(subfolderCounter++));
}

void SetSubfolderCounter(uint32_t value) { subfolderCounter = value; }

}  // namespace varrow
