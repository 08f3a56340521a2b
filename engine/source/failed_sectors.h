// The areas of a source that could not be read.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace varrow {

// Byte ranges of sectors whose reads failed, kept merged and in order.
// Failures come in long stretches when they come at all, so a few ranges
// describe a damaged disk.
class FailedSectors {
public:
    // Records the sector of length bytes at position as unreadable.
    void Add(uint64_t position, uint64_t length);
    // Whether any byte of [position, position + length) lies in a failed
    // sector.
    bool Overlaps(uint64_t position, uint64_t length) const;
    // Bytes in failed sectors, each counted once however often it was read.
    uint64_t Bytes() const { return bytes_; }
    // Sectors of sectorSize bytes in failed ranges; a last sector that the
    // end of the source cuts short counts whole.
    uint64_t Sectors(uint32_t sectorSize) const { return (bytes_ + sectorSize - 1) / sectorSize; }
    bool Empty() const { return ranges_.empty(); }
    // Bytes of the failed stretch that the last Add grew or made.
    uint64_t LastStretch() const { return lastStretch_; }

private:
    std::vector<std::pair<uint64_t, uint64_t>> ranges_;  // [start, end)
    uint64_t bytes_ = 0;
    uint64_t lastStretch_ = 0;
};

}  // namespace varrow
