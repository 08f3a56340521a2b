// The linker that rebuilds each store file before it follows chains.
//
// Every store lays its blocks out at the same offsets, so on a disk with
// several stores one offset names blocks of many. This linker first puts
// each store file together from its pieces (store_reassembly.h) and then
// follows a message inside its own file: the block after a block naming N
// is the block at N of the same file, and a block's data that runs over a
// cluster boundary is read where the file goes on.
//
// Successors. A block whose file does not reach N's cluster at all takes
// the block that every other file holds at N, when all of them hold the
// same one (identical copies); copies that disagree are never guessed
// between. A stray block, in no piece of a file, is followed by offset
// alone as the classic linking does.
//
// Heads. A block that some block's successor is, is no head. Nor is a
// block named by a block at an offset that its own file does not hold
// (its own predecessor may be that lost block), unless it opens like a
// message. Every other block whose data holds a colon starts a message,
// numbered in the classic walking order. So does a block whose header is
// cut in two where its store goes on elsewhere (no scan sees such a
// header) when nothing names it and it opens like a message.
//
// Where the file is blocked (its continuation is unknown) or a cluster
// belongs to another file, the message stops there and its chain does not
// end Complete. Where it goes on over a link that was a guess (the
// evidence tied), it goes on, but its trace says the end was guessed. On
// a single contiguous store everything above reduces to the classic
// linking, file for file.
//
// The linking reads the source given to ValidateHeads through a page cache
// of its own; WriteChain must be given the same source.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "link/block_index.h"
#include "link/linking.h"
#include "link/store_aware/block_records.h"
#include "link/store_aware/store_bytes.h"
#include "link/store_aware/store_reassembly.h"
#include "link/successor_choice.h"
#include "scan/block_layout.h"

namespace varrow {

class StoreAwareLinker : public MessageLinker {
public:
    BlockSink& Collector() override { return blocks_; }
    // Rebuilds the stores and finds the heads, then drops the heads whose
    // data holds no colon, asking whether to stop once per head offset as
    // ClassicLinker does.
    void ValidateHeads(RunEvents& events, CFile64Ex& source) override;
    // Head offsets in the walking order of BlockIndex, the entries created
    // in the order the scan first met each offset, the heads of an offset
    // by ascending position.
    std::vector<uint32_t> HeadOffsets() const override;
    const PositionList& HeadPositions(uint32_t headOffset) const override;
    void WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition, CFile64& output,
                    ChainTrace& trace) override;

    size_t BlockCount() const { return blocks_.size(); }
    const StoreReassembly& Stores() const { return stores_; }
    // Bytes held for the linking: records, indexes, stores and heads.
    size_t MemoryUsed() const;

private:
    // A block as a chain meets it.
    struct ChainBlock {
        uint32_t store = 0;
        int64_t base = 0;  // of the cluster that holds its header's first byte
        uint32_t block = BlockRecords::kNoBlock;  // the scanned block there, if any
        BlockHeader header;
        uint64_t position = 0;  // its header's first byte
        bool rebuilt = false;   // its header was put together across a cluster boundary
    };
    // Where bytes of a store file lie on the source.
    struct Run {
        int64_t position = 0;
        uint32_t length = 0;
        uint32_t guesses = 0;  // of the store's cluster (StoreReassembly::ClusterHold)
    };

    void Link(CFile64Ex& source);
    // WriteChain's work, writing into output as it goes.
    void FollowChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition, CFile64& output,
                     ChainTrace& trace);
    void FindHeads(CFile64Ex& source);
    // The blocks whose header is cut in two where a store goes on at
    // another base (put together from both sides), which no scan sees.
    std::vector<ChainBlock> CutBlocks() const;
    // Where a store file's cluster lies: at the base the store places it,
    // at ownBase where it places none; nothing where the file is blocked.
    std::optional<int64_t> HeldBase(uint32_t store, uint32_t cluster, int64_t ownBase) const;
    // The block at offset of a store file, read at ownBase where the store
    // does not place the cluster; near is a block number to search from.
    std::optional<ChainBlock> Locate(uint32_t store, int64_t ownBase, uint32_t offset,
                                     uint32_t near = BlockRecords::kNoBlock) const;
    // The head at position: a scanned block, or one of cutHeads_.
    std::optional<ChainBlock> HeadAt(uint64_t position) const;
    // A scanned block as its own file shows it.
    ChainBlock BlockAt(uint32_t block) const;
    std::optional<ChainBlock> Successor(CFile64Ex& source, const ChainBlock& current);
    // The block that every file but the one asking holds at offset, when
    // they agree; kNoBlock otherwise.
    uint32_t SharedSuccessor(uint32_t offset);
    // The successor of a stray block by offset alone.
    uint32_t ClassicSuccessor(CFile64Ex& source, uint64_t position, uint32_t offset);
    // Where the data of a block lies; false when the file stops before its
    // end (the runs then hold what can be read).
    bool DataRuns(const ChainBlock& block, std::vector<Run>& runs) const;
    std::vector<uint8_t> DataOf(const ChainBlock& block) const;
    // Reads count bytes at position into out, from the page cache where it
    // holds them all, from the source otherwise; false when they are not
    // all there.
    bool ReadWhole(CFile64Ex& source, int64_t position, uint32_t count, uint8_t* out);
    // Writes a run of a block's data to output and traces where it came
    // from, as CopyBlockData does.
    void CopyRun(CFile64Ex& source, const Run& run, CFile64& output, ChainTrace& trace);
    // Whether a predecessor of the block may have been lost: a block names
    // it from an offset its own file does not hold.
    bool MayHaveLostPredecessor(const ChainBlock& block);
    size_t HeadsMemoryUsed() const;

    BlockRecords blocks_;
    // The source for the linking's own reads, from Link on.
    std::unique_ptr<CachedSource> cache_;
    std::vector<uint8_t> runBytes_;  // CopyRun's bytes, kept for the next run
    StoreReassembly stores_;
    bool linked_ = false;
    // The heads in the classic walking order: their offsets and each
    // offset's positions (emptied by ValidateHeads where no head is left),
    // and (offset, index into both) by offset.
    std::vector<uint32_t> headOffsets_;
    std::vector<PositionList> headPositions_;
    std::vector<std::pair<uint32_t, uint32_t>> headIndex_;
    // The heads whose header a split of their store cuts, by position: no
    // scanned block lies there.
    std::vector<ChainBlock> cutHeads_;
    std::unordered_map<uint32_t, uint32_t> sharedSuccessors_;
    // Candidates of offsets with many blocks, for stray blocks' choices.
    std::unordered_map<uint32_t, PositionList> manyCandidates_;
    SuccessorChooser chooser_;
};

}  // namespace varrow
