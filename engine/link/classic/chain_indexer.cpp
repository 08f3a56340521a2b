#include "link/classic/chain_indexer.h"

#include "link/block_index.h"

namespace varrow {

void ChainIndexer::Begin() {
    linkedBlocks_.Reset(kLinkedBlockBuckets);
    chainHeads_.Reset(kChainHeadBuckets);
}

void ChainIndexer::Accept(const BlockHeader& header, uint64_t position) {
    // A block whose offset some earlier block named is a successor; any
    // other block is a chain head until a later block names it.
    if (PositionList* successors = linkedBlocks_.Find(header.selfOffset)) {
        successors->push_back(position);
    } else {
        chainHeads_.FindOrCreate(header.selfOffset).push_back(position);
    }

    // This block names nextOffset: blocks of that offset taken for chain
    // heads so far were successors after all, and keep their order.
    if (const PositionList* heads = chainHeads_.Find(header.nextOffset)) {
        linkedBlocks_.FindOrCreate(header.nextOffset).Append(*heads);
        chainHeads_.Remove(header.nextOffset);
    }

    // The empty entry sends a block of nextOffset found later straight to
    // linkedBlocks.
    linkedBlocks_.FindOrCreate(header.nextOffset);
}

void ChainIndexer::AcceptAll(const FoundBlock* blocks, size_t count) {
    // Far enough ahead for the memory to arrive, near enough for it to stay.
    constexpr size_t kAhead = 4;
    const auto prefetch = [this](const BlockHeader& header) {
        linkedBlocks_.Prefetch(header.selfOffset);
        linkedBlocks_.Prefetch(header.nextOffset);
        chainHeads_.Prefetch(header.selfOffset);
        chainHeads_.Prefetch(header.nextOffset);
    };
    for (size_t i = 0; i < count && i < kAhead; ++i) prefetch(blocks[i].header);
    for (size_t i = 0; i < count; ++i) {
        if (i + kAhead < count) prefetch(blocks[i + kAhead].header);
        Accept(blocks[i].header, blocks[i].position);
    }
}

}  // namespace varrow
