// The linker that keys every block by its store offset alone, across the
// whole source: heads are the blocks that no block names as successor, and
// among several blocks with the wanted offset the one that completes a cut
// header name, else the nearest, follows.
#pragma once

#include "link/classic/chain_indexer.h"
#include "link/linking.h"
#include "link/successor_choice.h"

namespace varrow {

class BlockIndex;

class ClassicLinker : public MessageLinker {
public:
    // Works on the session's linkedBlocks and chainHeads.
    ClassicLinker(BlockIndex& linkedBlocks, BlockIndex& chainHeads);

    BlockSink& Collector() override { return indexer_; }
    void ValidateHeads(RunEvents& events, CFile64Ex& source) override;
    std::vector<uint32_t> HeadOffsets() const override;
    const PositionList& HeadPositions(uint32_t headOffset) const override;
    void WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                    CFile64& output, ChainTrace& trace) override;

private:
    BlockIndex& linkedBlocks_;
    BlockIndex& chainHeads_;
    ChainIndexer indexer_;
    // For the lists of linkedBlocks, which stay as they are through pass 2.
    SuccessorChooser chooser_;
};

}  // namespace varrow
