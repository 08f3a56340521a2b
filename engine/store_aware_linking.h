// The linker that keeps the pieces of each store apart.
//
// Every store lays its blocks out at the same offsets, so on a disk with
// several stores one offset names blocks of many. This linker tells them
// apart by their base (block_records.h).
//
// Heads. A block is named when a block of its own piece names its offset,
// when a rebuilt cut header that goes on in its piece names it, or when a
// block names its offset from a piece that holds no block at that offset:
// that block's store file goes on elsewhere, and any block with the offset
// may be the one it means. Every other block whose data holds a colon
// starts a message.
//
// Successors. The block that follows a block naming N is the block at N in
// its own piece; else the only block with offset N; else, of the blocks
// with offset N, those that their own piece does not name, of those the
// ones that do not begin with a header line, each narrowing applied only
// when it leaves a block; ChooseNextBlock picks among what is left.
//
// Clusters. Where a store file lies in clusters, data that crosses a
// cluster boundary into a successor of another piece is taken from the
// start of that piece's cluster (SpliceAcrossBoundary), and a header cut by
// a boundary is rebuilt from the store's next cluster (split_header_repair.h).
// Where a chain has no successor there, the store's next cluster is looked
// for among the pieces that begin with it (FindNextCluster): for the rest of
// data that crosses the boundary at which its piece ends, and for a next
// block whose header the boundary cut so that the scan could not read it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "block_index.h"
#include "block_records.h"
#include "linking.h"
#include "split_header_repair.h"
#include "successor_choice.h"

namespace varrow {

// Where a block's data crosses a cluster boundary and its successor lies in
// another piece, the bytes after the boundary are in the store's next
// cluster, which the successor's piece holds just before the successor.
struct DataSplice {
    uint32_t keep = 0;           // bytes taken from the block's own piece
    uint64_t restPosition = 0;   // where the other dataLength - keep bytes lie
};

class StoreAwareLinker : public MessageLinker {
public:
    BlockSink& Collector() override { return blocks_; }
    // Links the collected blocks (cluster size, cut headers, heads), then
    // drops the heads whose data holds no colon, asking whether to stop
    // before each head offset as ClassicLinker does.
    void ValidateHeads(RecoverySession& session, CFile64Ex& source) override;
    // Head offsets in the walking order of BlockIndex, with the heads filed
    // by ascending position.
    std::vector<uint32_t> HeadOffsets() const override;
    const PositionList& HeadPositions(uint32_t headOffset) const override;
    void WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                    CFile64& output, ChainTrace& trace) override;

    size_t BlockCount() const { return blocks_.size(); }
    // The cluster size found when the blocks were linked.
    uint32_t ClusterSize() const { return clusterSize_; }
    size_t RepairCount() const { return repairs_.size(); }
    // Bytes held for the linking: records, indexes, repairs and heads.
    size_t MemoryUsed() const;

private:
    // A block as its chain sees it: its header (rebuilt when it was cut),
    // where its data lies and the piece its successor is looked for in.
    struct ChainBlock {
        BlockHeader header;
        uint64_t dataPosition = 0;
        int64_t base = 0;
        bool repaired = false;
        uint64_t position = 0;  // where its header starts (its first part, when cut)
    };

    void Link(CFile64Ex& source);
    void FindHeads();
    const RepairedHeader* RepairOf(uint32_t block) const;
    // Whether a block of the piece with this base, or a rebuilt header
    // that goes on in it, names offset.
    bool IsNamed(int64_t base, uint32_t offset) const;
    bool HasColon(CFile64Ex& source, uint32_t block) const;
    std::vector<uint8_t> DataOf(CFile64Ex& source, uint32_t block) const;
    // The header of block as its chain sees it; false when it cannot be read.
    bool LoadBlock(CFile64Ex& source, uint32_t block, ChainBlock& current) const;
    // The block that follows the block at position, whose chain goes on in
    // the piece with this base at nextOffset; kNoBlock when there is none.
    uint32_t Successor(CFile64Ex& source, uint64_t position, int64_t base, uint32_t nextOffset);
    // The positions of those of candidates, the blocks with nextOffset, that
    // can follow a block of another piece.
    PositionList OtherPieceCandidates(CFile64Ex& source, uint32_t nextOffset,
                                      std::span<const uint32_t> candidates) const;
    // Where no block has nextOffset: the block at nextOffset of the current
    // piece when a cluster boundary cut its header, which the scan could
    // not read, rebuilt from the store's next cluster (FindNextCluster).
    std::optional<ChainBlock> CutSuccessor(CFile64Ex& source, const ChainBlock& current,
                                           uint32_t nextOffset) const;
    // Where a block without a successor crosses a cluster boundary at which
    // its piece ends: the rest of its data from the store's next cluster.
    std::optional<DataSplice> SpliceIntoNextCluster(const BlockRecord& block) const;
    void CopyData(CFile64Ex& source, CFile64& output, const ChainBlock& current, uint32_t successor,
                  ChainTrace& trace) const;

    BlockRecords blocks_;
    bool linked_ = false;
    uint32_t clusterSize_ = 0;
    std::vector<RepairedHeader> repairs_;        // by block number
    std::vector<std::pair<uint32_t, int64_t>> repairedNames_;  // (nextOffset, base), sorted
    std::vector<uint32_t> unclaimedNames_;       // offsets named from a piece without them, sorted
    BlockIndex heads_;
    // OtherPieceCandidates of the offsets with many candidates, learnt in
    // pass 2, and the choice among them.
    std::unordered_map<uint32_t, PositionList> manyCandidates_;
    SuccessorChooser chooser_;
};

// Whether data begins like a header line: two or more of A-Z, a-z and '-',
// then a colon.
bool BeginsWithHeaderField(const std::vector<uint8_t>& data);


// The splice for block and its chosen successor with clusters of
// clusterSize (a power of two); nothing when the data does not cross a
// boundary, when both lie in one piece, or when the successor's piece does
// not hold the rest in a whole cluster before the successor.
std::optional<DataSplice> SpliceAcrossBoundary(const BlockRecord& block, const BlockRecord& successor,
                                               uint32_t clusterSize);

}  // namespace varrow
