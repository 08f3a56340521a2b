#include "source/aligned_span.h"

#include <algorithm>

namespace varrow {

SectorSpan SpanOf(uint64_t position, uint32_t count, uint32_t sectorSize) {
    SectorSpan span;
    span.headOffset = static_cast<uint32_t>(position % sectorSize);
    span.firstSector = position - span.headOffset;
    span.head = span.headOffset != 0 ? std::min(sectorSize - span.headOffset, count) : 0;
    span.wholeSectors = (count - span.head) / sectorSize;
    span.tail = (count - span.head) % sectorSize;
    return span;
}

bool RunsStandForWindows(uint32_t runSize, uint32_t windowSize, uint32_t sectorSize,
                         uint32_t headerSize) {
    return runSize != 0 && sectorSize != 0 && windowSize >= headerSize &&
           runSize % windowSize == 0 && runSize % sectorSize == 0;
}

uint32_t WholeWindowBytes(uint32_t delivered, uint32_t windowSize) {
    return delivered - delivered % windowSize;
}

uint64_t LastWindowSector(uint64_t start, uint32_t bytes, uint32_t windowSize,
                          uint32_t sectorSize) {
    const uint64_t lastWindow = start + bytes - windowSize;
    return lastWindow - lastWindow % sectorSize;
}

}  // namespace varrow
