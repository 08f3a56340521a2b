// How the classic linking files the blocks of pass 1: by offset alone, in
// the two indexes of the session.
#pragma once

#include "scan/block_layout.h"

namespace varrow {

class BlockIndex;

// Files accepted blocks into linkedBlocks and chainHeads: a block goes to
// linkedBlocks once some block has named its offset as a successor, and to
// chainHeads until then. A scan's beginning gives both fresh tables.
class ChainIndexer : public BlockSink {
public:
    ChainIndexer(BlockIndex& linkedBlocks, BlockIndex& chainHeads)
        : linkedBlocks_(linkedBlocks), chainHeads_(chainHeads) {}
    void Begin() override;
    void Accept(const BlockHeader& header, uint64_t position) override;
    // Asks for the index entries of later blocks while it files earlier
    // ones, so that their memory arrives in parallel rather than in turn.
    void AcceptAll(const FoundBlock* blocks, size_t count) override;

private:
    BlockIndex& linkedBlocks_;
    BlockIndex& chainHeads_;
};

}  // namespace varrow
