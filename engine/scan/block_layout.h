// The message data block as Outlook Express lays it out, and what the scan
// accepts as one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace varrow {

// The 16 bytes at the start of every message data block, four 32-bit
// little-endian fields:
//   0..3   selfOffset  offset of this block inside its store file (not 0)
//   4..7   blockSize   size of the data area (exactly 512)
//   8..11  dataLength  used bytes of the data area (1 to 512)
//   12..15 nextOffset  offset of the next block of the message; 0 for the
//                      last block (never equal to selfOffset)
// The data area follows the header directly on the source.
struct BlockHeader {
    uint32_t selfOffset = 0;
    uint32_t blockSize = 0;
    uint32_t dataLength = 0;
    uint32_t nextOffset = 0;
};

inline constexpr uint32_t kBlockHeaderSize = 16;
inline constexpr uint32_t kBlockDataSize = 512;
// The scan asks whether to stop, and reports progress, once per this many
// positions.
inline constexpr uint64_t kScanReportInterval = 10000;

BlockHeader DecodeBlockHeader(const uint8_t* bytes);
bool IsAcceptedHeader(const BlockHeader& header);

// Progress of pass 1 for the position reached: position * 50 / length,
// truncated, and never above 50.
uint8_t ScanProgress(uint64_t position, uint64_t length);

// An accepted header and where the scan found it.
struct FoundBlock {
    BlockHeader header;
    uint64_t position = 0;
};

// Receives every accepted header of the scan, in ascending position.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    // The scan begins: whatever an earlier scan left is forgotten.
    virtual void Begin() {}
    virtual void Accept(const BlockHeader& header, uint64_t position) = 0;
    // The blocks of one stretch of the scan, in their order: as many calls
    // of Accept, unless the sink can do better knowing the later ones.
    virtual void AcceptAll(const FoundBlock* blocks, size_t count) {
        for (size_t i = 0; i < count; ++i) Accept(blocks[i].header, blocks[i].position);
    }
};

}  // namespace varrow
