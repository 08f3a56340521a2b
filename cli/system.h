// What the command line asks of the operating system besides the engine:
// what a source is, whether an output lies on the source, a private
// temporary folder, the terminal. One implementation per platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace varrow::cli {

enum class SourceKind { Missing, File, BlockDevice, CharacterDevice, Folder, Other };

struct SourceFacts {
    SourceKind kind = SourceKind::Missing;
    uint64_t size = 0;  // bytes of a file or a device; 0 when unknown
};

SourceFacts ExamineSource(const std::string& path);

// Whether writing at path would write into the source: path is the source
// itself, or lies on a file system that lives on the source device (on a
// partition of a scanned disk, or on a volume built on it).
bool WritesOnSource(const std::string& path, const std::string& source);

bool IsTerminal(std::FILE* stream);

// A folder of this process's own inside the user's temporary folder, where
// the engine keeps its temporary files: whatever a run that is killed
// leaves there is this run's and nobody else's.
class PrivateTempFolder {
public:
    PrivateTempFolder();
    ~PrivateTempFolder();
    PrivateTempFolder(const PrivateTempFolder&) = delete;
    PrivateTempFolder& operator=(const PrivateTempFolder&) = delete;

    // Empty when no folder could be made.
    const std::string& path() const { return path_; }
    // Makes the folder the temporary folder of this process.
    void Use() const;
    // Moves the folder out of the engine's reach first, so that no new file
    // appears in it, then removes it with everything in it. Safe to call
    // from another thread while the engine runs, and more than once.
    void Dispose();

private:
    std::string path_;
    bool disposed_ = false;
};

// Removes the staging files that this process left in folder and in its
// rollover subfolders (named ".ostrel-<process id>-...").
void RemoveOwnStagingFiles(const std::string& folder);

}  // namespace varrow::cli
