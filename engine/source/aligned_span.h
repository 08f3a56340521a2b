// The arithmetic of sector-aligned reading, kept apart from any device so
// that it can be checked on its own.
#pragma once

#include <cstdint>

namespace varrow {

// How a read of count bytes at position falls on sectors: a head taken from
// the middle of the first sector (when position is not aligned), whole
// sectors, and a tail taken from the start of a last sector.
struct SectorSpan {
    uint64_t firstSector = 0;  // the aligned position of the first sector touched
    uint32_t headOffset = 0;   // where position lies in the first sector
    uint32_t head = 0;         // bytes of the head; 0 when position is aligned
    uint32_t wholeSectors = 0;
    uint32_t tail = 0;
    bool operator==(const SectorSpan&) const = default;
};

SectorSpan SpanOf(uint64_t position, uint32_t count, uint32_t sectorSize);

// Whether runs of runSize bytes read from multiples of runSize can stand
// for the reader's windows: each run must hold whole windows and whole
// sectors, and a window must hold a block header.
bool RunsStandForWindows(uint32_t runSize, uint32_t windowSize, uint32_t sectorSize,
                         uint32_t headerSize);

// Of a run at start whose first delivered bytes arrived: how many bytes the
// windows, refilled at multiples of windowSize, deliver alike. Whole
// windows only; a window that would straddle the end of what arrived is
// left to the windows themselves.
uint32_t WholeWindowBytes(uint32_t delivered, uint32_t windowSize);

// The sector position at which the windows move the device to refill the
// last whole window of [start, start + bytes); bytes is not 0.
uint64_t LastWindowSector(uint64_t start, uint32_t bytes, uint32_t windowSize, uint32_t sectorSize);

}  // namespace varrow
