// Reads a source in long aligned runs, one transfer per run, for the fast
// scan.
//
// CFile64Ex moves every sector with a call of its own; over a whole disk
// that costs more than the transfer. This reader takes a run of many
// sectors at a run-aligned position with one transfer into a page-aligned
// buffer (CFile64Ex::ReadAligned with Transfer::OneCall), and tells how
// much of it is clean: bytes that are exactly what the source's own windows
// deliver at those positions. With read-ahead, a helper thread shares the
// reading with the caller (RunReadAhead), runs are read ahead of the one
// asked for, and each is worked on as told right after it is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "source/run_read_ahead.h"

namespace varrow {

class CFile64Ex;

class SectorRunReader {
public:
    // Bytes of the run before kept in front of each run, so that a block
    // header (16 bytes) that starts in the last bytes of one run is read
    // whole.
    static constexpr uint32_t kCarry = 15;

    // runSize must be a multiple of the source's window size and sector size
    // for the reader to be usable. With readAhead (0: none, every run is
    // read when asked for) a helper thread shares the reading, runs are read
    // into readAhead + 1 buffers, each handed to work as soon as it is
    // read, and those at limit and beyond deliver nothing.
    // Raises CMemoryException when the buffers cannot be had.
    SectorRunReader(CFile64Ex& source, uint32_t runSize, uint32_t readAhead = 0,
                    uint64_t limit = UINT64_MAX, RunReadAhead::RunWork* work = nullptr);
    ~SectorRunReader();
    SectorRunReader(const SectorRunReader&) = delete;
    SectorRunReader& operator=(const SectorRunReader&) = delete;

    // False when runs cannot stand for the source's windows (a run size
    // that is no multiple of its window and sector, a window shorter than a
    // header); the caller then reads through the source alone.
    bool Usable() const { return usable_; }
    uint32_t RunSize() const { return runSize_; }

    // Reads the run at start into Run() and returns how many of its bytes
    // from start are clean: a multiple of the window size, RunSize() when
    // the run was read whole. Runs are asked for in order from 0 on.
    uint32_t ReadRun(uint64_t start);

    // The run last read; the kCarry bytes before it belong to the run before.
    const uint8_t* Run() const { return run_; }
    // The buffer the run last read came in, which the work was done on;
    // -1 without read-ahead (no work was done).
    int WorkBuffer() const { return workBuffer_; }
    // The kCarry bytes that go in front of the next run, for a caller that
    // had to read the end of this run through the source.
    uint8_t* Carry() { return carry_; }
    // Keeps the last kCarry bytes of a whole run in front of the next one.
    void CarryOver();

private:
    uint8_t* RunBuffer(size_t slot) const;

    CFile64Ex& source_;
    uint32_t runSize_;
    uint32_t sectorSize_;
    uint32_t windowSize_;
    bool usable_;
    bool dropBehind_ = false;
    uint64_t lastRun_ = 0;
    bool haveRun_ = false;
    uint8_t* memory_ = nullptr;
    size_t memorySize_ = 0;
    size_t slots_ = 1;
    uint8_t* run_ = nullptr;
    int workBuffer_ = -1;
    uint8_t carry_[kCarry] = {};
    std::unique_ptr<RunReadAhead> readAhead_;
};

}  // namespace varrow
