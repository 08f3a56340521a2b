#include "split_header_repair.h"

#include <limits>
#include <tuple>

#include "file64.h"

namespace varrow {

namespace {

uint64_t Distance(uint64_t a, uint64_t b) { return a > b ? a - b : b - a; }

// The candidate rest of a cut header: the block after the cut one in the
// store, in a piece whose copy of the cut falls on a cluster start.
struct Rest {
    uint32_t follower = BlockRecords::kNoBlock;
    uint64_t position = 0;  // where the rest of the header lies
};

// The place the rest of the header of block is most likely to be, cut at
// boundary; nothing when no piece qualifies.
Rest FindRest(const BlockRecords& blocks, uint32_t block, uint64_t boundary, uint32_t clusterSize) {
    const BlockRecord& cut = blocks[block];
    const uint64_t follower = uint64_t{cut.selfOffset} + kStoreBlockSpan;
    // The store offset where the cluster boundary falls.
    const uint64_t t = cut.selfOffset + (boundary - cut.position);
    if (follower >= t + clusterSize) return {};

    Rest best;
    std::tuple<bool, uint64_t, uint64_t> bestRank{};
    for (const uint32_t candidate : blocks.WithOffset(static_cast<uint32_t>(follower))) {
        const BlockRecord& other = blocks[candidate];
        const int64_t base = other.Base();
        if (base == cut.Base()) continue;
        const int64_t start = base + static_cast<int64_t>(t);
        if (start < 0 || (static_cast<uint64_t>(start) & (clusterSize - 1)) != 0) continue;
        const bool named = !blocks.Naming(base, other.selfOffset).empty();
        const std::tuple<bool, uint64_t, uint64_t> rank{named, Distance(other.position, cut.position),
                                                        other.position};
        if (best.follower == BlockRecords::kNoBlock || rank < bestRank) {
            best = {candidate, static_cast<uint64_t>(start)};
            bestRank = rank;
        }
    }
    return best;
}

}  // namespace

std::vector<RepairedHeader> RepairSplitHeaders(CFile64Ex& source, const BlockRecords& blocks,
                                               uint32_t clusterSize) {
    std::vector<RepairedHeader> repairs;
    for (uint32_t block = 0; block < blocks.size(); ++block) {
        const BlockRecord& cut = blocks[block];
        const uint64_t boundary = (cut.position / clusterSize + 1) * clusterSize;
        if (boundary >= cut.position + kBlockHeaderSize) continue;
        const uint64_t follower = uint64_t{cut.selfOffset} + kStoreBlockSpan;
        if (follower > std::numeric_limits<uint32_t>::max()) continue;
        // A piece that holds the next block or the one after it goes on past
        // the boundary: the header is whole.
        if (blocks.At(cut.Base(), cut.nextOffset) != BlockRecords::kNoBlock ||
            blocks.At(cut.Base(), static_cast<uint32_t>(follower)) != BlockRecords::kNoBlock) {
            continue;
        }
        const Rest rest = FindRest(blocks, block, boundary, clusterSize);
        if (rest.follower == BlockRecords::kNoBlock) continue;

        const auto first = static_cast<uint32_t>(boundary - cut.position);
        const uint32_t second = kBlockHeaderSize - first;
        uint8_t bytes[kBlockHeaderSize];
        source.Seek(static_cast<int64_t>(cut.position), CFile64::begin);
        if (source.Read(bytes, first) < first) continue;
        source.Seek(static_cast<int64_t>(rest.position), CFile64::begin);
        if (source.Read(bytes + first, second) < second) continue;
        const BlockHeader header = DecodeBlockHeader(bytes);
        if (header.blockSize != kBlockDataSize || header.dataLength < 1 ||
            header.dataLength > kBlockDataSize || header.selfOffset != cut.selfOffset) {
            continue;
        }
        repairs.push_back({block, header, rest.position + second, blocks[rest.follower].Base()});
    }
    return repairs;
}

}  // namespace varrow
