// Pass 1: the scan of the whole source for message block headers.
#pragma once

#include <cstdint>

namespace varrow {

class BlockIndex;
class CFile64Ex;
class RecoverySession;

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
inline constexpr uint32_t kLinkedBlockBuckets = 199999;
inline constexpr uint32_t kChainHeadBuckets = 14983;
// The scan asks whether to stop, and reports progress, once per this many
// positions.
inline constexpr uint64_t kScanReportInterval = 10000;

BlockHeader DecodeBlockHeader(const uint8_t* bytes);
bool IsAcceptedHeader(const BlockHeader& header);

// Receives every accepted header of the scan, in ascending position.
class BlockSink {
public:
    virtual ~BlockSink() = default;
    virtual void Accept(const BlockHeader& header, uint64_t position) = 0;
};

// Files accepted blocks into linkedBlocks and chainHeads: a block goes to
// linkedBlocks once some block has named its offset as a successor, and to
// chainHeads until then.
class ChainIndexer : public BlockSink {
public:
    ChainIndexer(BlockIndex& linkedBlocks, BlockIndex& chainHeads)
        : linkedBlocks_(linkedBlocks), chainHeads_(chainHeads) {}
    void Accept(const BlockHeader& header, uint64_t position) override;

private:
    BlockIndex& linkedBlocks_;
    BlockIndex& chainHeads_;
};

// Runs pass 1 over an open source: tries a header at every byte position,
// hands accepted ones to sink, asks whether to stop and reports progress
// 0..50 once every kScanReportInterval positions. Ends at the first short
// read, at the length of a physical disk, or on "stop".
void ScanBlocks(RecoverySession& session, CFile64Ex& source, BlockSink& sink);

}  // namespace varrow
