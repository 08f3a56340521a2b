#include "scan/block_layout.h"

#include <algorithm>

namespace varrow {

namespace {

// The store writes its fields little-endian whatever machine reads them.
uint32_t ReadLittleEndian32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

}  // namespace

BlockHeader DecodeBlockHeader(const uint8_t* bytes) {
    BlockHeader header;
    header.selfOffset = ReadLittleEndian32(bytes);
    header.blockSize = ReadLittleEndian32(bytes + 4);
    header.dataLength = ReadLittleEndian32(bytes + 8);
    header.nextOffset = ReadLittleEndian32(bytes + 12);
    return header;
}

bool IsAcceptedHeader(const BlockHeader& header) {
    return header.blockSize == kBlockDataSize && header.dataLength >= 1 &&
           header.dataLength <= kBlockDataSize && header.selfOffset != 0 &&
           header.nextOffset != header.selfOffset;
}

// Computed in floating point so that the product cannot overflow on huge
// sources, and held at 50 because a volume can be read past the capacity
// it reports, where the value would otherwise pass 50 and wrap as a byte.
uint8_t ScanProgress(uint64_t position, uint64_t length) {
    const double percent = static_cast<double>(position) * 50 / static_cast<double>(length);
    return static_cast<uint8_t>(std::min(percent, 50.0));
}

}  // namespace varrow
