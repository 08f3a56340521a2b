#include "split_header_repair.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

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

        const std::optional<BlockHeader> header =
            RebuildCutHeader(source, cut.position, boundary, rest.position, cut.selfOffset);
        if (!header) continue;
        const uint32_t second = kBlockHeaderSize - static_cast<uint32_t>(boundary - cut.position);
        repairs.push_back({block, *header, rest.position + second, blocks[rest.follower].Base()});
    }
    return repairs;
}

std::optional<BlockHeader> RebuildCutHeader(CFile64Ex& source, uint64_t position, uint64_t boundary,
                                            uint64_t restPosition, uint32_t selfOffset) {
    if (boundary <= position || boundary >= position + kBlockHeaderSize) return std::nullopt;
    const auto first = static_cast<uint32_t>(boundary - position);
    const uint32_t second = kBlockHeaderSize - first;
    uint8_t bytes[kBlockHeaderSize];
    source.Seek(static_cast<int64_t>(position), CFile64::begin);
    if (source.Read(bytes, first) < first) return std::nullopt;
    source.Seek(static_cast<int64_t>(restPosition), CFile64::begin);
    if (source.Read(bytes + first, second) < second) return std::nullopt;
    const BlockHeader header = DecodeBlockHeader(bytes);
    if (header.blockSize != kBlockDataSize || header.dataLength < 1 || header.dataLength > kBlockDataSize ||
        header.selfOffset != selfOffset) {
        return std::nullopt;
    }
    return header;
}

namespace {

// Whether a block of the piece with this base starts in [from, to).
bool PieceHasBlockIn(const BlockRecords& blocks, int64_t base, uint64_t from, uint64_t to) {
    for (uint32_t block = blocks.FirstFrom(from); block < blocks.size() && blocks[block].position < to;
         ++block) {
        if (blocks[block].Base() == base) return true;
    }
    return false;
}

}  // namespace

constexpr size_t kMaxClusterCandidates = 1 << 16;
constexpr size_t kMaxClusterPieces = 256;

std::optional<NextCluster> FindNextCluster(const BlockRecords& blocks, int64_t ownBase, uint64_t boundary,
                                           uint64_t t, uint32_t room, uint32_t clusterSize) {
    if (t >= std::numeric_limits<uint32_t>::max()) return std::nullopt;
    if (PieceHasBlockIn(blocks, ownBase, boundary, boundary + clusterSize)) return std::nullopt;
    const uint64_t high = std::min<uint64_t>(t + clusterSize, std::numeric_limits<uint32_t>::max());
    // The pieces that hold offsets of the cluster and start one there, with
    // the position of their first block in it.
    struct Piece {
        int64_t base;
        uint64_t start;
        uint64_t first;
    };
    std::vector<Piece> pieces;
    const auto low = static_cast<uint32_t>(t);
    const std::span<const uint32_t> inRange = blocks.WithOffsetIn(low, static_cast<uint32_t>(high));
    // A real disk holds a few stores and copies, so a cluster's offsets come
    // from a few pieces; a source with more is crafted or noise, and this
    // search would cost it time for every chain end.
    if (inRange.size() > kMaxClusterCandidates) return std::nullopt;
    for (const uint32_t candidate : inRange) {
        const BlockRecord& other = blocks[candidate];
        const int64_t base = other.Base();
        if (base == ownBase) continue;
        const int64_t start = base + static_cast<int64_t>(t);
        if (start < 0 || (static_cast<uint64_t>(start) & (clusterSize - 1)) != 0) continue;
        const auto piece =
            std::find_if(pieces.begin(), pieces.end(), [base](const Piece& p) { return p.base == base; });
        if (piece == pieces.end() && pieces.size() == kMaxClusterPieces) return std::nullopt;
        if (piece == pieces.end()) pieces.push_back({base, static_cast<uint64_t>(start), other.position});
        else piece->first = std::min(piece->first, other.position);
    }
    std::optional<NextCluster> best;
    const auto rank = [boundary](uint64_t p) { return std::make_pair(Distance(p, boundary), p); };
    for (const Piece& piece : pieces) {
        if (piece.first < piece.start + room) continue;
        const uint64_t before = piece.start >= clusterSize ? piece.start - clusterSize : 0;
        if (PieceHasBlockIn(blocks, piece.base, before, piece.start)) continue;
        if (!best || rank(piece.start) < rank(best->position)) best = NextCluster{piece.start, piece.base};
    }
    return best;
}

}  // namespace varrow
