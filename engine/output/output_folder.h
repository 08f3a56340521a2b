// The folder a recovery writes into: the destination, and the rollover
// subfolder that output moves to when a folder is full.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "output/naming.h"
#include "output/outfolders.h"

namespace varrow {

class RunEvents;

class OutputFolder {
public:
    // Opens the destination once for the whole output and counts its entries.
    explicit OutputFolder(const std::string& destination);

    // With rollover on and the current folder full, moves output into the
    // next rollover subfolder and logs it.
    void RollOverIfFull(RunEvents& events);

    // Places a message under the name its subject gives, in the current
    // folder, never replacing a file: when another program takes the name
    // first, the message is named again. The bytes are content, or the
    // file at tempPath when content is null. Returns the path, or an empty
    // text when the message could not be placed.
    std::string Place(const std::string& subject, uint32_t number, TitleStyle style,
                      const std::vector<uint8_t>* content, const std::string& tempPath) const;

    // One more entry in the current folder (a message handled there).
    void CountMessage() { ++fileCount_; }
    const FolderRef& Current() const { return current_; }

private:
    std::string destination_;
    FolderHandle destinationHandle_;
    FolderHandle subfolderHandle_;
    FolderRef current_;
    uint32_t fileCount_ = 0;
};

}  // namespace varrow
