// The linker that keys every block by its store offset alone, across the
// whole source: heads are the blocks that no block names as successor, and
// among several blocks with the wanted offset the one that completes a cut
// header name, else the nearest, follows.
#pragma once

#include <string>
#include <unordered_map>

#include "linking.h"
#include "scan.h"

namespace varrow {

class BlockIndex;

class ClassicLinker : public MessageLinker {
public:
    // Works on the session's linkedBlocks and chainHeads.
    explicit ClassicLinker(RecoverySession& session);

    BlockSink& Collector() override { return indexer_; }
    void ValidateHeads(RecoverySession& session, CFile64Ex& source) override;
    std::vector<uint32_t> HeadOffsets() const override;
    const PositionList& HeadPositions(uint32_t headOffset) const override;
    void WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                    CFile64& output) override;

private:
    // What ChooseNextBlock needs of one candidate list, learnt once: the
    // first candidate with each leading word that can complete a cut
    // header name, and whether the list ascends. Many messages that share a
    // successor with many copies would otherwise read every copy's data
    // again at every choice.
    struct CandidateWords {
        bool checkedOrder = false;
        bool ascending = false;
        bool read = false;
        std::unordered_map<std::string, size_t> firstWith;  // lower-case word -> index
    };

    // ChooseNextBlock for the lists of linkedBlocks, which stay as they are
    // through pass 2.
    uint64_t ChooseSuccessor(CFile64Ex& source, uint64_t current, const PositionList& candidates);

    BlockIndex& linkedBlocks_;
    BlockIndex& chainHeads_;
    ChainIndexer indexer_;
    std::unordered_map<const PositionList*, CandidateWords> candidateWords_;
};

// Chooses among candidates (at least two) the block that follows the block
// at current: the first whose leading word completes the current block's
// trailing word into a known header name, else the nearest (the lowest
// position of equally near ones).
uint64_t ChooseNextBlock(CFile64Ex& source, uint64_t current, const PositionList& candidates);

}  // namespace varrow
