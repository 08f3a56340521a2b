// Reads a source in long aligned runs, one system call per run, for the
// fast scan.
//
// CFile64Ex moves every sector with a call of its own; over a whole disk
// that costs more than the transfer. This reader takes a run of many
// sectors at a run-aligned position with one positioned read into a
// page-aligned buffer, and tells how much of it is clean: bytes that are
// exactly what the source's own windows deliver at those positions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varrow {

class CFile64Ex;

class SectorRunReader {
public:
    // Bytes of the run before kept in front of each run, so that a header
    // that starts in the last bytes of one run is read whole.
    static constexpr uint32_t kCarry = 15;

    // runSize must be a multiple of the source's window size and sector size
    // for the reader to be usable. Raises CMemoryException when the buffer
    // cannot be had.
    SectorRunReader(CFile64Ex& source, uint32_t runSize);
    ~SectorRunReader();
    SectorRunReader(const SectorRunReader&) = delete;
    SectorRunReader& operator=(const SectorRunReader&) = delete;

    // False when runs cannot stand for the source's windows (a run size
    // that is no multiple of its window and sector, a window shorter than a
    // header); the caller then reads through the source alone.
    bool Usable() const { return usable_; }
    uint32_t RunSize() const { return runSize_; }

    // Reads the run at start, a multiple of RunSize(), into Run() and
    // returns how many of its bytes from start are clean: a multiple of the
    // window size, RunSize() when the run was read whole.
    uint32_t ReadRun(uint64_t start);

    // The run last read; the kCarry bytes before it belong to the run before.
    const uint8_t* Run() const { return run_; }
    // The kCarry bytes in front of the run, for a caller that had to read the
    // end of the run before through the source.
    uint8_t* Carry() { return run_ - kCarry; }
    // Keeps the last kCarry bytes of a whole run in front of the next one.
    void CarryOver();

private:
    // Whether the source could position its device at position, as its
    // windows do at every refill.
    bool CanPosition(uint64_t position);

    CFile64Ex& source_;
    uint32_t runSize_;
    uint32_t windowSize_;
    uint32_t sectorSize_;
    bool usable_;
    bool dropBehind_;
    uint64_t lastRun_ = 0;
    bool haveRun_ = false;
    uint8_t* memory_ = nullptr;
    size_t memorySize_ = 0;
    uint8_t* run_ = nullptr;
};

}  // namespace varrow
