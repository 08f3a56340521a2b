// Store files rebuilt from the pieces the scan found.
//
// Every store lays its message blocks out at the same offsets, so on a disk
// with several stores, or old copies and versions of one, an offset names
// blocks of many. A block's base (block_records.h) says where offset 0 of
// its store file would lie if the file were contiguous there, so the blocks
// of one contiguous piece of a file share a base.
//
// The file is rebuilt in clusters (C, cluster_size.h), the unit in which a
// file system places a file:
//  - a key is one cluster of one placed piece: (base, file cluster), held
//    by the blocks with that base whose offsets lie in that cluster;
//  - keys of one base that follow each other on disk join into a piece;
//  - the end of a piece is linked to the piece that starts one file cluster
//    further on elsewhere, or goes on in place, when the blocks' own
//    evidence says so (store_links.cpp); where the evidence does not
//    settle it the likeliest is taken as a guess, and where nothing is
//    left, the file is blocked there;
//  - a chain of linked pieces is a store: a map from file cluster to the
//    base that holds it.
// On a single contiguous store every block has one base, nothing is linked
// and the store is read exactly where the blocks lie.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "link/store_aware/block_records.h"
#include "link/store_aware/store_affinity.h"
#include "link/store_aware/store_parts.h"

namespace varrow {

class CachedSource;

class StoreReassembly {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    // What a store holds at one file cluster.
    enum class Hold : uint8_t {
        Unknown,  // no piece of the store covers it
        Base,     // the cluster lies at `base` + its file offset
        Blocked,  // the store goes on there, but where is not known
    };
    struct ClusterHold {
        Hold hold = Hold::Unknown;
        int64_t base = 0;
        // No block lies there: the cluster only sits between two clusters
        // of one piece, or the store goes on into it in place after an end
        // that was weighed, and it may have been overwritten since.
        bool bridged = false;
        // How many guessed links (see Piece::guessed) the store passes from
        // its first cluster up to this one. Two clusters of one store with
        // different counts are only as much one file as the guesses were
        // right. An unknown cluster counts as the last known one before it,
        // and past the end of a store split among pieces of several bases
        // as one more: its file may have gone on anywhere.
        uint32_t guesses = 0;
    };

    // Rebuilds the stores of blocks (finished, in ascending position) with
    // clusters of clusterSize, a power of two. Reads the source for the
    // evidence of links.
    void Build(CachedSource& source, const BlockRecords& blocks, uint32_t clusterSize);

    uint32_t ClusterSize() const { return clusterSize_; }
    size_t StoreCount() const { return storeSolid_.size(); }
    size_t KeyCount() const { return keys_.size(); }
    // Links between the end of one piece and the start of another.
    size_t LinkCount() const { return linkCount_; }
    // Ends whose continuation was needed and not found.
    size_t BlockedCount() const { return blockedCount_; }

    // The store that holds a scanned block.
    uint32_t StoreOf(uint32_t block) const;
    // A store is solid unless it is one stray block (or a few at an
    // alignment no real piece has), which is followed by offset alone.
    bool IsSolid(uint32_t store) const { return storeSolid_[store] != 0; }
    ClusterHold At(uint32_t store, uint32_t cluster) const;
    // A place where a solid store's file goes on elsewhere on disk: its
    // file cluster `cluster` lies at base + its file offset, the next one
    // at another base. A block header cut there lies in two places, so no
    // scan sees it.
    struct SplitBoundary {
        uint32_t store = 0;
        uint32_t cluster = 0;
        int64_t base = 0;
    };
    std::vector<SplitBoundary> SplitBoundaries() const;
    // Whether the disk range of file cluster `cluster` at base holds
    // blocks, none of them of that base: the cluster is another file's.
    bool IsForeign(int64_t base, uint32_t cluster) const;

    // Bytes held: the base-ordered block list, keys, pieces and stores.
    size_t MemoryUsed() const;

private:
    struct Key {
        int64_t base = 0;
        uint32_t cluster = 0;
        uint32_t first = 0;  // index of its first block in byBase_
        uint32_t count = 0;
        uint32_t piece = kNone;
        uint32_t store = kNone;
        bool joinsNext = false;  // key + 1 goes on from it on disk
        bool joinedFrom = false;
        // The join to key + 1 may be wrong: another copy's file ends at
        // this cluster, an end there was left to a guess, and two copies'
        // clusters may lie in line.
        bool joinGuessed = false;
        // Key - 1 lies right before it on disk, yet is not joined to it:
        // other copies end at key - 1's cluster and start at this one, so
        // the file may go on in line or in one of theirs (store_in_line.cpp).
        bool inLine = false;
    };
    // How the file goes on after a piece's last cluster.
    enum class Next : uint8_t { Unknown, Start, InPlace, Blocked };
    struct Piece {
        uint32_t firstKey = 0;
        uint32_t lastKey = 0;
        uint32_t blocks = 0;
        uint32_t nextPiece = kNone;  // with Next::Start
        Next next = Next::Unknown;
        bool solid = false;
        bool linkedFrom = false;
        // The link after the piece was picked among options the blocks'
        // evidence did not set apart (by affinity, or because the rivals
        // went elsewhere): text read across it may be another file's.
        bool guessed = false;
    };
    // One cluster of a solid store.
    struct StoreCluster {
        uint32_t store = 0;
        uint32_t cluster = 0;
        int64_t base = 0;  // kBlockedBase where the store is blocked
        bool bridged = false;
        uint32_t guesses = 0;
    };
    // (piece, block) pairs, by piece: the blocks of a piece that name one
    // kind of offset.
    using PieceBlocks = std::vector<std::pair<uint32_t, uint32_t>>;
    // One way the file could go on after an end, and what the blocks say
    // for it (store_links.cpp).
    struct Option {
        uint32_t end = 0;        // piece
        uint32_t start = kNone;  // piece, or kNone for in place
        bool rejected = false;
        int strong = 0;
        // A word the boundary cuts makes one of the message's own words
        // (+1), runs of character kinds across it the message has nowhere
        // else (-1 each): likelier or less likely than a rival, but mail
        // repeats its wording too often for it to make the link sure.
        int words = 0;
        // The start lies right after the end on disk, where a join was left
        // open (store_in_line.cpp): contiguity shown by blocks on both
        // sides. The message's wording outranks it: where a file system
        // refills the clusters of a file it deleted (a store it compacted),
        // another store's cluster lies in line as readily.
        int inLine = 0;
        int weak = 0;
        // The option starts shortly after the end on disk, where a file
        // system puts the next fragment of a file it had to split.
        int near = 0;
        size_t affinity = 0;
    };

    void MakeKeys();
    void JoinKeys();
    void MakePieces();
    void FindNamesAroundEnds();
    void LinkEnds(CachedSource& source);
    void MakeStores();

    uint32_t FindKey(int64_t base, uint32_t cluster) const;
    bool HasBlockIn(uint64_t from, uint64_t to) const;
    // Whether cluster h lies damaged in key's file: another copy holds it
    // with blocks, and key's blocks expect a header there that this disk
    // range lacks: they name one there, or (byGrid) a copy holds the block
    // after key's last one on the store's grid.
    bool IsDamagedGap(uint32_t key, uint32_t h, bool byGrid) const;
    // Whether the source holds only zeros in line after the data of key's
    // last block, within the next cluster, up to the block after it on the
    // store's grid: the rest of the block, as the store left it unused.
    bool LastBlockEndsUnusedInLine(CachedSource& source, uint32_t key) const;
    // Whether the blocks of two keys of one base, adjacent on disk, name
    // more offsets of each other that are missing than are there: two
    // files' clusters that happen to lie in line.
    bool NamesDisagree(uint32_t first, uint32_t second) const;
    // Calls accept with each key of two or more blocks of another base
    // than base that holds cluster where that base holds not the next
    // one (a copy whose file goes on elsewhere), until accept returns
    // true; whether it did.
    template <typename Accept>
    bool AnyCopyEndingAt(int64_t base, uint32_t cluster, Accept accept) const {
        const auto first =
            std::lower_bound(fullKeys_.begin(), fullKeys_.end(), std::make_pair(cluster, 0u));
        for (auto it = first; it != fullKeys_.end() && it->first == cluster; ++it) {
            const Key& other = keys_[it->second];
            if (other.base != base && FindKey(other.base, cluster + 1) == kNone && accept(other))
                return true;
        }
        return false;
    }
    // Whether another copy's file ends at cluster, which the cluster after
    // (base, cluster) may continue as well as base's own file does.
    bool AnotherCopyEndsAt(int64_t base, uint32_t cluster) const {
        return AnyCopyEndingAt(base, cluster, [](const Key&) { return true; });
    }
    // store_in_line.cpp: whether a key of two or more blocks of another
    // base holds cluster and none of that base holds the one before: a
    // copy whose file comes there from elsewhere.
    bool AnotherCopyStartsAt(int64_t base, uint32_t cluster) const;
    // Whether some other copy's file ends at cluster and blocks there name
    // offsets that base holds in the next cluster: its chains go on there.
    bool AnotherEndNamesInto(int64_t base, uint32_t cluster) const;
    // Whether the join of key to key + 1, the next cluster in line on
    // disk, is rivalled: another copy's file ends at key's cluster and
    // another's starts at the next, so either may be what goes on here.
    // Such a join is left to LinkEnds, weighed like any other link.
    bool RivalledInLine(uint32_t key) const;
    // The solid piece that starts in line right after end's last cluster
    // where the join was left to LinkEnds, or kNone.
    uint32_t InLineStart(uint32_t end) const;
    // Whether block lies in the cluster right before start, in line on
    // disk, whose join to start was left to LinkEnds: what it names in
    // start is that end's claim, weighed as its own option, and no proof
    // that start's blocks have their predecessor already.
    bool NamesFromInLineEnd(uint32_t start, uint32_t block) const;
    // The last block of a key (largest offset).
    uint32_t LastBlock(uint32_t key) const {
        return byBase_[keys_[key].first + keys_[key].count - 1];
    }
    static std::span<const std::pair<uint32_t, uint32_t>> OfPiece(const PieceBlocks& list,
                                                                  uint32_t piece);

    // store_links.cpp: the evidence for one option and the choice among all.
    // wording: whether to look at the words and lines across the boundary,
    // which only rank options that are weighed against each other.
    Option Evaluate(CachedSource& source, uint32_t end, uint32_t start, bool wording,
                    bool* needed) const;
    // Whether every option at a boundary of this many ends and starts is
    // weighed against its rivals (else only sole options are sure).
    static bool WeighsEveryOption(size_t ends, size_t starts);
    // What an end shows of its last message, the same for all its options:
    // the last block's text up to the boundary (before), whether it could
    // be text and the length of its base64 lines; the text of its last
    // blocks up to the boundary (message, read when an option first needs
    // it); the width of the text before the boundary (SIZE_MAX until an
    // option needs it: it costs a scan of the text, and most never do); and
    // the offsets in its last 15 bytes whose bytes begin a header of that
    // offset, cut by the boundary.
    // Kept for the end last asked about: LinkEnds weighs the options of one
    // end in a row.
    struct EndSide {
        uint32_t end = kNone;
        std::vector<uint8_t> before;
        bool beforeIsText = false;
        size_t base64Line = 0;
        bool messageRead = false;
        std::vector<uint8_t> message;
        size_t width = SIZE_MAX;
        std::vector<uint64_t> cutHeaders;
        bool bodyKnown = false;
        PartBody body = PartBody::kUnknown;  // the message's, once known
    };
    const EndSide& EndOf(CachedSource& source, uint32_t end) const;
    const std::vector<uint8_t>& EndMessage(CachedSource& source, uint32_t end) const;
    // BodyBeforeBoundary of EndMessage.
    PartBody EndBody(CachedSource& source, uint32_t end) const;
    size_t EndWidth(CachedSource& source, uint32_t end) const;
    void MeasureAffinity(CachedSource& source, std::vector<Option>& options) const;
    // The affinity of each option: how many 8-byte windows of its first
    // bytes (up to 1024) are among the substrings of its end's last bytes
    // (up to 2048). The first bytes of each start are indexed once for the
    // boundary (BoundaryAffinity), and each end's bytes are looked up once,
    // so that many copies of one cluster cost what their count does, not
    // its square. The options come grouped by end.
    void CountAffinity(CachedSource& source, const std::vector<Option*>& options) const;
    void Assign(CachedSource& source, std::vector<Option>& options,
                const std::vector<uint32_t>& ends, const std::vector<bool>& needs);
    // Whether two ends at one file cluster hold the same bytes in their
    // last two blocks' span before the boundary: copies of one file there.
    bool SameBytesBefore(CachedSource& source, uint32_t end, uint32_t other) const;

    const BlockRecords* blocks_ = nullptr;
    uint32_t clusterSize_ = 0;
    std::vector<uint32_t> byBase_;  // block numbers by (base, position)
    std::vector<Key> keys_;         // by (base, cluster)
    std::vector<Piece> pieces_;     // in the order of their first keys
    std::vector<uint8_t> storeSolid_;
    std::vector<uint8_t> storeSplit_;          // pieces of more than one base
    std::vector<StoreCluster> storeClusters_;  // solid stores only, by (store, cluster)
    // Blocks of solid pieces whose nextOffset lies in the cluster after the
    // piece's last one, in the last 15 bytes of its last one, and in the
    // cluster before its first one.
    PieceBlocks namingAfter_, namingLastEdge_, namingBefore_;
    // Keys of two or more blocks, by (cluster, key).
    std::vector<std::pair<uint32_t, uint32_t>> fullKeys_;
    // Keys joined to a key of the next cluster, by (cluster, key).
    std::vector<std::pair<uint32_t, uint32_t>> adjacentJoins_;
    // Clusters that some solid piece holds, ascending, once each.
    std::vector<uint32_t> solidClusters_;
    mutable EndSide endSide_;
    // Buffers the weighing of options reads into, kept from one option to
    // the next rather than allocated for each read: the option's text after
    // the boundary, and bytes used right after they are read.
    mutable std::vector<uint8_t> afterBytes_, readBytes_;
    mutable BoundaryAffinity affinity_;
    mutable std::vector<size_t> affinityCounts_;
    // The width of the text each start's cluster opens with.
    mutable std::unordered_map<uint32_t, size_t> startWidths_;
    size_t linkCount_ = 0;
    size_t blockedCount_ = 0;
    // Where StoreOf and At found what they were last asked for (only a
    // hint: checked before use).
    mutable uint32_t lastStoreKey_ = 0;
    mutable size_t lastStoreCluster_ = 0;
};

}  // namespace varrow
