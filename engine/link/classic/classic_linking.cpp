#include "link/classic/classic_linking.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "base/run_events.h"
#include "link/block_data.h"
#include "link/block_index.h"
#include "link/chain_trace.h"
#include "source/file64.h"

namespace varrow {

namespace {

// Whether any of the first dataLength bytes of the data area at position
// is a colon; a header that cannot be read counts as one that has.
bool HeadDataHasColon(CFile64Ex& source, uint64_t position) {
    source.Seek(static_cast<int64_t>(position), CFile64::begin);
    uint8_t header[kBlockHeaderSize];
    if (source.Read(header, kBlockHeaderSize) < kBlockHeaderSize) return true;
    uint8_t data[kBlockDataSize] = {};
    source.Read(data, kBlockDataSize);
    const uint32_t length = std::min(DecodeBlockHeader(header).dataLength, kBlockDataSize);
    return std::memchr(data, ':', length) != nullptr;
}

}  // namespace

ClassicLinker::ClassicLinker(BlockIndex& linkedBlocks, BlockIndex& chainHeads)
    : linkedBlocks_(linkedBlocks), chainHeads_(chainHeads), indexer_(linkedBlocks, chainHeads) {}

void ClassicLinker::ValidateHeads(RunEvents& events, CFile64Ex& source) {
    for (const uint32_t offset : chainHeads_.OffsetsInWalkingOrder()) {
        if (events.QueryAbort()) return;
        PositionList& positions = *chainHeads_.Find(offset);
        for (size_t i = positions.size(); i-- > 0;) {
            if (!HeadDataHasColon(source, positions[i])) positions.erase(i);
        }
        if (positions.empty()) chainHeads_.Remove(offset);
    }
}

std::vector<uint32_t> ClassicLinker::HeadOffsets() const {
    return chainHeads_.OffsetsInWalkingOrder();
}

const PositionList& ClassicLinker::HeadPositions(uint32_t headOffset) const {
    return *chainHeads_.Find(headOffset);
}

void ClassicLinker::WriteChain(CFile64Ex& source, uint32_t headOffset, uint64_t headPosition,
                               CFile64& output, ChainTrace& trace) {
    std::unordered_set<uint32_t> visitedOffsets;
    uint32_t offset = headOffset;
    uint64_t position = headPosition;
    for (;;) {
        visitedOffsets.insert(offset);
        source.Seek(static_cast<int64_t>(position), CFile64::begin);
        uint8_t bytes[kBlockHeaderSize];
        if (source.Read(bytes, kBlockHeaderSize) < kBlockHeaderSize) {
            trace.end = ChainEnd::ReadError;
            return;
        }
        const BlockHeader header = DecodeBlockHeader(bytes);
        if (header.dataLength > header.blockSize || header.blockSize == 0 ||
            header.blockSize > 1048576) {
            trace.end = source.Failures().Overlaps(position, kBlockHeaderSize) ? ChainEnd::ReadError
                                                                             : ChainEnd::HeaderUnreadable;
            return;
        }
        trace.blocks.push_back(position);
        CopyBlockData(source, output, header.dataLength, trace);
        if (header.nextOffset == 0) {
            trace.end = ChainEnd::Complete;
            return;
        }
        if (visitedOffsets.count(header.nextOffset)) {
            trace.end = ChainEnd::Loop;
            return;
        }
        const PositionList* candidates = linkedBlocks_.Find(header.nextOffset);
        if (!candidates || candidates->empty()) {
            trace.end = ChainEnd::NextMissing;
            return;
        }
        offset = header.nextOffset;
        position = candidates->size() == 1 ? (*candidates)[0]
                                           : chooser_.Choose(source, position, *candidates);
    }
}

}  // namespace varrow
