// The blocks of pass 1 as the store-aware linker sees them: one record per
// accepted header, and the indexes that find a block by its piece.
//
// A block's base is its position minus its selfOffset: the position where
// offset 0 of its store file would lie if the file were contiguous there.
// The blocks of one contiguous piece of one store share a base, so
// (base, offset) names at most one block on the source, however many other
// stores use the same offsets. The base is a signed 64-bit number: a piece
// near the start of the source may have a negative one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "scan/block_layout.h"

namespace varrow {

struct BlockRecord {
    uint64_t position = 0;
    uint32_t selfOffset = 0;
    uint32_t nextOffset = 0;
    uint32_t dataLength = 0;

    int64_t Base() const { return static_cast<int64_t>(position - selfOffset); }
};

// Collects the accepted blocks of the scan and, once it has ended, indexes
// them. The records (24 bytes each) live in chunks of 4096, so that growing
// never copies them or leaves spare room beyond one chunk; the indexes take
// two 32-bit block numbers per block: one list sorted by selfOffset and one
// by nextOffset. A block number is the record's index in
// ascending position.
class BlockRecords : public BlockSink {
public:
    // Appends one record; the scan delivers them in ascending position.
    // Throws std::bad_alloc past 2^32 - 1 blocks.
    void Accept(const BlockHeader& header, uint64_t position) override;

    // Puts records that came out of order in place and builds the indexes.
    // Call once, after the scan and before any lookup.
    void Finish();

    size_t size() const { return size_; }
    const BlockRecord& operator[](uint32_t block) const {
        return chunks_[block >> kChunkShift][block & (kChunkSize - 1)];
    }

    // The block whose header starts at position, or kNoBlock.
    uint32_t AtPosition(uint64_t position) const;
    // The block with this offset in the piece with this base, or kNoBlock.
    // near, a block number, is where the search starts: chains mostly go
    // on a few blocks away.
    uint32_t At(int64_t base, uint32_t offset, uint32_t near = kNoBlock) const;
    // The blocks with selfOffset offset, in ascending position: the
    // candidates for a successor named by offset alone.
    std::span<const uint32_t> WithOffset(uint32_t offset) const;
    // The first block whose header starts at or after position; size() when
    // there is none.
    uint32_t FirstFrom(uint64_t position) const;
    // The same, searching outwards from block near.
    uint32_t FirstFromNear(uint64_t position, uint32_t near) const;
    // The blocks that name offset as their successor, in ascending position.
    std::span<const uint32_t> Naming(uint32_t offset) const;

    // Bytes held by the records and the indexes.
    size_t MemoryUsed() const;

    static constexpr uint32_t kNoBlock = 0xFFFFFFFFu;

private:
    // FirstFrom among the blocks [low, high), which must hold the answer.
    uint32_t FirstFromIn(uint64_t position, uint32_t low, uint32_t high) const;

    static constexpr uint32_t kChunkShift = 12;
    static constexpr uint32_t kChunkSize = 1u << kChunkShift;

    BlockRecord& Record(uint32_t block) {
        return chunks_[block >> kChunkShift][block & (kChunkSize - 1)];
    }
    bool InPositionOrder() const;
    void SortByPosition();

    std::vector<std::unique_ptr<BlockRecord[]>> chunks_;
    size_t size_ = 0;
    std::vector<uint32_t> bySelfOffset_;  // (selfOffset, position)
    std::vector<uint32_t> byNextOffset_;  // (nextOffset, position)
};

}  // namespace varrow
