#include "link/store_aware/store_reassembly.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <tuple>
#include <numeric>

#include "link/store_aware/store_bytes.h"
#include "scan/block_layout.h"

namespace varrow {

namespace {

// Keys of one base further apart than this many clusters are not joined:
// a headerless stretch that long is more likely other files than one
// store's data.
constexpr uint32_t kGapJoin = 16;
// A piece of fewer blocks is solid only at an alignment that real pieces
// share.
constexpr uint32_t kMinSolid = 2;
// Bytes one block takes in a store: its header and data area.
constexpr uint32_t kBlockSpan = kBlockHeaderSize + kBlockDataSize;
// The largest cluster size at which a start may lead in from a cluster
// without a block.
constexpr uint32_t kLeadInClusterSize = 1024;
constexpr int64_t kBlockedBase = std::numeric_limits<int64_t>::min();

int64_t Mod(int64_t value, uint32_t size) {
    return static_cast<int64_t>(static_cast<uint64_t>(value) & (size - 1));
}

}  // namespace

void StoreReassembly::Build(CachedSource& source, const BlockRecords& blocks,
                            uint32_t clusterSize) {
    blocks_ = &blocks;
    clusterSize_ = clusterSize;
    MakeKeys();
    JoinKeys();
    MakePieces();
    LinkEnds(source);
    MakeStores();
}

void StoreReassembly::MakeKeys() {
    const BlockRecords& blocks = *blocks_;
    byBase_.resize(blocks.size());
    std::iota(byBase_.begin(), byBase_.end(), 0u);
    // Block numbers ascend with the position, which within a base ascends
    // with the offset.
    std::stable_sort(byBase_.begin(), byBase_.end(),
                     [&](uint32_t a, uint32_t b) { return blocks[a].Base() < blocks[b].Base(); });
    for (uint32_t i = 0; i < byBase_.size(); ++i) {
        const BlockRecord& block = blocks[byBase_[i]];
        const uint32_t cluster = block.selfOffset / clusterSize_;
        if (keys_.empty() || keys_.back().base != block.Base() || keys_.back().cluster != cluster) {
            keys_.push_back({block.Base(), cluster, i, 0});
        }
        ++keys_.back().count;
    }
    for (uint32_t key = 0; key < keys_.size(); ++key) {
        if (keys_[key].count >= 2) fullKeys_.emplace_back(keys_[key].cluster, key);
    }
    std::sort(fullKeys_.begin(), fullKeys_.end());
}

uint32_t StoreReassembly::FindKey(int64_t base, uint32_t cluster) const {
    const auto it =
        std::lower_bound(keys_.begin(), keys_.end(), std::make_pair(base, cluster),
                         [](const Key& key, const std::pair<int64_t, uint32_t>& wanted) {
                             return std::make_pair(key.base, key.cluster) < wanted;
                         });
    if (it == keys_.end() || it->base != base || it->cluster != cluster) return kNone;
    return static_cast<uint32_t>(it - keys_.begin());
}

uint32_t StoreReassembly::StoreOf(uint32_t block) const {
    const BlockRecord& record = (*blocks_)[block];
    const int64_t base = record.Base();
    const uint32_t cluster = record.selfOffset / clusterSize_;
    // A chain asks for the blocks of one key in a row, then for the next
    // key of the same base: both are looked at before the search.
    for (const uint32_t key : {lastStoreKey_, lastStoreKey_ + 1}) {
        if (key < keys_.size() && keys_[key].base == base && keys_[key].cluster == cluster)
            return keys_[key].store;
    }
    const uint32_t key = FindKey(base, cluster);
    lastStoreKey_ = key;
    return keys_[key].store;
}

bool StoreReassembly::HasBlockIn(uint64_t from, uint64_t to) const {
    const uint32_t first = blocks_->FirstFrom(from);
    return first < blocks_->size() && (*blocks_)[first].position < to;
}

bool StoreReassembly::IsForeign(int64_t base, uint32_t cluster) const {
    const int64_t from = base + int64_t{cluster} * clusterSize_;
    const int64_t to = from + clusterSize_;
    if (to <= 0) return false;
    const BlockRecords& blocks = *blocks_;
    bool any = false;
    for (uint32_t block = blocks.FirstFrom(static_cast<uint64_t>(std::max<int64_t>(from, 0)));
         block < blocks.size() && blocks[block].position < static_cast<uint64_t>(to); ++block) {
        if (blocks[block].Base() == base) return false;
        any = true;
    }
    return any;
}

bool StoreReassembly::IsDamagedGap(uint32_t key, uint32_t h, bool byGrid) const {
    const Key& k = keys_[key];
    const auto first = std::lower_bound(fullKeys_.begin(), fullKeys_.end(), std::make_pair(h, 0u));
    std::vector<int64_t> copies;
    for (auto it = first; it != fullKeys_.end() && it->first == h; ++it) {
        if (keys_[it->second].base != k.base) copies.push_back(keys_[it->second].base);
    }
    if (copies.empty()) return false;
    const uint64_t low = uint64_t{h} * clusterSize_;
    const uint64_t high = low + clusterSize_ - kBlockHeaderSize;
    for (uint32_t i = k.first; i < k.first + k.count; ++i) {
        const uint32_t next = (*blocks_)[byBase_[i]].nextOffset;
        if (next >= low && next <= high) return true;
    }
    const uint64_t grid = uint64_t{(*blocks_)[LastBlock(key)].selfOffset} + kBlockSpan;
    if (!byGrid || grid < low || grid > high) return false;
    for (const int64_t base : copies) {
        if (blocks_->At(base, static_cast<uint32_t>(grid)) != BlockRecords::kNoBlock) return true;
    }
    return false;
}

bool StoreReassembly::LastBlockEndsUnusedInLine(CachedSource& source, uint32_t key) const {
    const Key& k = keys_[key];
    const BlockRecord& last = (*blocks_)[LastBlock(key)];
    const uint64_t boundary = (uint64_t{k.cluster} + 1) * clusterSize_;
    const uint64_t from = std::max<uint64_t>(
        uint64_t{last.selfOffset} + kBlockHeaderSize + last.dataLength, boundary);
    const uint64_t to = uint64_t{last.selfOffset} + kBlockSpan;
    if (to <= from) return false;
    source.ReadInto(k.base + static_cast<int64_t>(from), static_cast<uint32_t>(to - from),
                    &readBytes_);
    return std::all_of(readBytes_.begin(), readBytes_.end(), [](uint8_t b) { return b == 0; });
}

bool StoreReassembly::NamesDisagree(uint32_t first, uint32_t second) const {
    // Blocks of either key that name an offset of the other: found there,
    // they speak for one file; missing, against.
    int found = 0;
    int missing = 0;
    const auto check = [&](uint32_t from, uint32_t to) {
        const Key& other = keys_[to];
        const uint64_t low = uint64_t{other.cluster} * clusterSize_;
        const uint64_t high = low + clusterSize_ - kBlockHeaderSize;
        for (uint32_t i = keys_[from].first; i < keys_[from].first + keys_[from].count; ++i) {
            const uint32_t next = (*blocks_)[byBase_[i]].nextOffset;
            if (next < low || next > high) continue;
            if (blocks_->At(other.base, next) != BlockRecords::kNoBlock)
                ++found;
            else
                ++missing;
        }
    };
    check(first, second);
    check(second, first);
    return missing > found;
}

void StoreReassembly::JoinKeys() {
    for (uint32_t key = 0; key + 1 < keys_.size(); ++key) {
        const Key& k = keys_[key];
        const Key& next = keys_[key + 1];
        if (next.base != k.base || next.cluster - k.cluster > kGapJoin) continue;
        if (next.cluster == k.cluster + 1 && NamesDisagree(key, key + 1)) continue;
        if (next.cluster == k.cluster + 1 && RivalledInLine(key)) {
            keys_[key + 1].inLine = true;
            continue;
        }
        if (next.cluster != k.cluster + 1) {
            const int64_t from = k.base + int64_t{k.cluster + 1} * clusterSize_;
            const int64_t to = k.base + int64_t{next.cluster} * clusterSize_;
            if (to > 0 && HasBlockIn(static_cast<uint64_t>(std::max<int64_t>(from, 0)),
                                     static_cast<uint64_t>(to))) {
                continue;
            }
            bool damaged = false;
            for (uint32_t h = k.cluster + 1; h < next.cluster && !damaged; ++h)
                damaged = IsDamagedGap(key, h, true);
            if (damaged) continue;
            // Another copy's file that ends in the gap, right before the
            // next key, and whose chains go on in that key: the gap is
            // where two fragments of that file lie apart, not a hole in
            // this one.
            if (AnotherEndNamesInto(k.base, next.cluster - 1)) continue;
        }
        keys_[key].joinsNext = true;
        keys_[key + 1].joinedFrom = true;
        if (next.cluster == k.cluster + 1) adjacentJoins_.emplace_back(k.cluster, key);
    }
    std::sort(adjacentJoins_.begin(), adjacentJoins_.end());
}

void StoreReassembly::MakePieces() {
    for (uint32_t key = 0; key < keys_.size(); ++key) {
        if (keys_[key].joinedFrom) continue;
        Piece piece;
        piece.firstKey = key;
        for (uint32_t k = key;; ++k) {
            keys_[k].piece = static_cast<uint32_t>(pieces_.size());
            piece.lastKey = k;
            piece.blocks += keys_[k].count;
            if (!keys_[k].joinsNext) break;
        }
        pieces_.push_back(piece);
    }
    // Alignments (base mod C) of pieces of several blocks: a lone block at
    // one of them sits where a real piece could.
    std::vector<int64_t> alignments;
    for (const Piece& piece : pieces_) {
        if (piece.blocks >= kMinSolid)
            alignments.push_back(Mod(keys_[piece.firstKey].base, clusterSize_));
    }
    std::sort(alignments.begin(), alignments.end());
    for (Piece& piece : pieces_) {
        piece.solid = piece.blocks >= kMinSolid ||
                      std::binary_search(alignments.begin(), alignments.end(),
                                         Mod(keys_[piece.firstKey].base, clusterSize_));
    }
    FindNamesAroundEnds();
    for (const Piece& piece : pieces_) {
        if (!piece.solid) continue;
        for (uint32_t key = piece.firstKey; key <= piece.lastKey; ++key)
            solidClusters_.push_back(keys_[key].cluster);
    }
    std::sort(solidClusters_.begin(), solidClusters_.end());
    solidClusters_.erase(std::unique(solidClusters_.begin(), solidClusters_.end()),
                         solidClusters_.end());
}

void StoreReassembly::FindNamesAroundEnds() {
    const BlockRecords& blocks = *blocks_;
    for (uint32_t p = 0; p < pieces_.size(); ++p) {
        const Piece& piece = pieces_[p];
        if (!piece.solid) continue;
        const uint64_t after = uint64_t{keys_[piece.lastKey].cluster} + 1;
        const uint64_t lastEdge = after * clusterSize_;
        const uint64_t before = keys_[piece.firstKey].cluster;
        const Key& first = keys_[piece.firstKey];
        const Key& last = keys_[piece.lastKey];
        for (uint32_t i = first.first; i < last.first + last.count; ++i) {
            const uint32_t next = blocks[byBase_[i]].nextOffset;
            if (next == 0) continue;
            const uint64_t cluster = next / clusterSize_;
            if (cluster == after) namingAfter_.emplace_back(p, byBase_[i]);
            if (next < lastEdge && next + kBlockHeaderSize > lastEdge)
                namingLastEdge_.emplace_back(p, byBase_[i]);
            if (cluster + 1 == before) namingBefore_.emplace_back(p, byBase_[i]);
        }
    }
}

std::span<const std::pair<uint32_t, uint32_t>> StoreReassembly::OfPiece(const PieceBlocks& list,
                                                                        uint32_t piece) {
    const auto first = std::lower_bound(list.begin(), list.end(), std::make_pair(piece, 0u));
    const auto last = std::lower_bound(first, list.end(), std::make_pair(piece + 1, 0u));
    return {list.data() + (first - list.begin()), static_cast<size_t>(last - first)};
}

void StoreReassembly::LinkEnds(CachedSource& source) {
    // What an earlier build learnt of its ends and starts is no longer so.
    endSide_.end = kNone;
    startWidths_.clear();
    // Ends and starts of solid pieces by file cluster.
    std::vector<std::pair<uint32_t, uint32_t>> ends, starts;
    for (uint32_t p = 0; p < pieces_.size(); ++p) {
        if (!pieces_[p].solid) continue;
        ends.emplace_back(keys_[pieces_[p].lastKey].cluster, p);
        starts.emplace_back(keys_[pieces_[p].firstKey].cluster, p);
    }
    std::sort(ends.begin(), ends.end());
    std::sort(starts.begin(), starts.end());
    for (size_t i = 0; i < ends.size();) {
        const uint32_t f = ends[i].first;
        std::vector<uint32_t> group;
        for (; i < ends.size() && ends[i].first == f; ++i) group.push_back(ends[i].second);
        if (f == std::numeric_limits<uint32_t>::max() ||
            !std::binary_search(solidClusters_.begin(), solidClusters_.end(), f + 1)) {
            continue;  // no other piece holds the next cluster: the file goes on in place
        }
        std::vector<uint32_t> next;
        for (auto it = std::lower_bound(starts.begin(), starts.end(), std::make_pair(f + 1, 0u));
             it != starts.end() && it->first == f + 1; ++it) {
            next.push_back(it->second);
        }
        // Clusters of a few sectors often hold no block header of their
        // store (the rest of a message, unused space): a piece that begins
        // a cluster later, where its base holds no block in f + 1, may go on
        // from there. In larger clusters that is likelier damage.
        const bool leadIns = clusterSize_ <= kLeadInClusterSize;
        for (auto it = std::lower_bound(starts.begin(), starts.end(), std::make_pair(f + 2, 0u));
             leadIns && it != starts.end() && it->first == f + 2; ++it) {
            const int64_t from =
                keys_[pieces_[it->second].firstKey].base + (int64_t{f} + 1) * clusterSize_;
            if (from >= 0 && !HasBlockIn(static_cast<uint64_t>(from),
                                         static_cast<uint64_t>(from) + clusterSize_))
                next.push_back(it->second);
        }
        std::vector<Option> options;
        std::vector<bool> needs;
        const bool wording = WeighsEveryOption(group.size(), next.size());
        for (const uint32_t end : group) {
            bool needed = false;
            const int64_t base = keys_[pieces_[end].lastKey].base;
            // A rejected option means the file does go on there, somewhere.
            const auto consider = [&](uint32_t start) {
                const Option option = Evaluate(source, end, start, wording, &needed);
                if (option.rejected) needed = true;
                if (!option.rejected && option.strong >= 1) options.push_back(option);
            };
            // The piece right after in line, when its join was left open,
            // is this end's way of going on in place.
            const uint32_t inLine = InLineStart(end);
            for (const uint32_t start : next) {
                if (keys_[pieces_[start].firstKey].base != base || start == inLine)
                    consider(start);
            }
            if (inLine == kNone && !IsForeign(base, f + 1)) {
                // A copy that holds the block after the end's last one on
                // the store's grid shows the cluster in line damaged, unless
                // that cluster holds the rest of the last block unused, as
                // the store left it (the copy may be another store that
                // shares the grid).
                const uint32_t lastKey = pieces_[end].lastKey;
                if (IsDamagedGap(lastKey, f + 1, true) &&
                    !LastBlockEndsUnusedInLine(source, lastKey))
                    needed = true;
                else
                    consider(kNone);
            }
            needs.push_back(needed);
        }
        MeasureAffinity(source, options);
        Assign(source, options, group, needs);
        // Where some end here was left to a guess, a join of adjacent
        // clusters at f that another copy's end could have continued in
        // is a guess too.
        if (std::any_of(group.begin(), group.end(),
                        [&](uint32_t end) { return pieces_[end].guessed; })) {
            const auto first = std::lower_bound(adjacentJoins_.begin(), adjacentJoins_.end(),
                                                std::make_pair(f, 0u));
            for (auto it = first; it != adjacentJoins_.end() && it->first == f; ++it) {
                Key& key = keys_[it->second];
                key.joinGuessed = AnotherCopyEndsAt(key.base, f);
            }
        }
    }
}

void StoreReassembly::MeasureAffinity(CachedSource& source, std::vector<Option>& options) const {
    // Affinity only tells apart options of equal evidence that compete for
    // an end or a start; the others never need it. Options are counted by
    // (side, piece, evidence), so that many copies of one cluster cost no
    // more than their options.
    const auto evidence = [](const Option& o) {
        return std::make_tuple(o.strong, o.inLine, o.words, o.weak, o.near);
    };
    using Counted = std::tuple<bool, uint32_t, int, int, int, int, int>;
    const auto keyOf = [&](const Option& o, bool byStart) {
        const auto [strong, inLine, words, weak, near] = evidence(o);
        return Counted{byStart, byStart ? o.start : o.end, strong, inLine, words, weak, near};
    };
    // Sorted, so that equal keys lie together.
    std::vector<Counted> counted;
    counted.reserve(2 * options.size());
    for (const Option& o : options) {
        counted.push_back(keyOf(o, false));
        if (o.start != kNone) counted.push_back(keyOf(o, true));
    }
    std::sort(counted.begin(), counted.end());
    const auto severalOf = [&](const Counted& key) {
        const auto [first, last] = std::equal_range(counted.begin(), counted.end(), key);
        return last - first > 1;
    };
    std::vector<Option*> rivalled;
    for (Option& option : options) {
        if (severalOf(keyOf(option, false)) ||
            (option.start != kNone && severalOf(keyOf(option, true))))
            rivalled.push_back(&option);
    }
    CountAffinity(source, rivalled);
}

void StoreReassembly::MakeStores() {
    for (uint32_t p = 0; p < pieces_.size(); ++p) {
        if (pieces_[p].linkedFrom) continue;
        const auto store = static_cast<uint32_t>(storeSolid_.size());
        storeSolid_.push_back(pieces_[p].solid ? 1 : 0);
        storeSplit_.push_back(0);
        uint32_t guesses = 0;
        for (uint32_t piece = p;;) {
            const Piece& current = pieces_[piece];
            if (keys_[current.firstKey].base != keys_[pieces_[p].firstKey].base)
                storeSplit_.back() = 1;
            for (uint32_t key = current.firstKey; key <= current.lastKey; ++key) {
                const Key& k = keys_[key];
                keys_[key].store = store;
                if (!current.solid) continue;
                // Clusters inside a join's gap belong to the piece too.
                if (key > current.firstKey) {
                    for (uint32_t c = keys_[key - 1].cluster + 1; c < k.cluster; ++c) {
                        storeClusters_.push_back({store, c, k.base, true, guesses});
                    }
                }
                storeClusters_.push_back({store, k.cluster, k.base, false, guesses});
                if (k.joinGuessed) ++guesses;
            }
            const Key& last = keys_[current.lastKey];
            if (current.guessed) ++guesses;
            if (current.next == Next::Start) {
                piece = current.nextPiece;
                // A start a cluster later goes on from the cluster before it
                // at its base, which holds no block.
                const Key& first = keys_[pieces_[piece].firstKey];
                for (uint32_t c = last.cluster + 1; c < first.cluster; ++c)
                    storeClusters_.push_back({store, c, first.base, true, guesses});
                continue;
            }
            // Going on in place into a cluster without a block: nothing shows
            // its bytes to be the file's (the store may have ended there and
            // the cluster been reused), as in a cluster that a piece bridges.
            if (current.next == Next::InPlace) {
                const int64_t from =
                    last.base + (int64_t{last.cluster} + 1) * int64_t{clusterSize_};
                const bool empty =
                    from < 0 || !HasBlockIn(static_cast<uint64_t>(from),
                                            static_cast<uint64_t>(from) + clusterSize_);
                storeClusters_.push_back({store, last.cluster + 1, last.base, empty, guesses});
            }
            if (current.next == Next::Blocked)
                storeClusters_.push_back({store, last.cluster + 1, kBlockedBase, false, guesses});
            break;
        }
    }
    // Links only go one cluster on and joins further on, so each store's
    // clusters already ascend.
    storeClusters_.shrink_to_fit();
}

std::vector<StoreReassembly::SplitBoundary> StoreReassembly::SplitBoundaries() const {
    std::vector<SplitBoundary> splits;
    for (size_t i = 0; i + 1 < storeClusters_.size(); ++i) {
        const StoreCluster& here = storeClusters_[i];
        const StoreCluster& next = storeClusters_[i + 1];
        if (next.store == here.store && next.cluster == here.cluster + 1 &&
            here.base != kBlockedBase && next.base != kBlockedBase && next.base != here.base)
            splits.push_back({here.store, here.cluster, here.base});
    }
    return splits;
}

StoreReassembly::ClusterHold StoreReassembly::At(uint32_t store, uint32_t cluster) const {
    // A chain asks for one cluster of a store many times in a row, then for
    // the next: both are looked at before the search (each store's clusters
    // ascend, so a match is the one the search would find).
    const auto matches = [&](size_t at) {
        return at < storeClusters_.size() && storeClusters_[at].store == store &&
               storeClusters_[at].cluster == cluster;
    };
    auto it = storeClusters_.end();
    if (matches(lastStoreCluster_)) {
        it = storeClusters_.begin() + static_cast<std::ptrdiff_t>(lastStoreCluster_);
    } else if (matches(lastStoreCluster_ + 1)) {
        it = storeClusters_.begin() + static_cast<std::ptrdiff_t>(++lastStoreCluster_);
    } else {
        it = std::lower_bound(
            storeClusters_.begin(), storeClusters_.end(), std::make_pair(store, cluster),
            [](const StoreCluster& c, const std::pair<uint32_t, uint32_t>& wanted) {
                return std::make_pair(c.store, c.cluster) < wanted;
            });
        lastStoreCluster_ = static_cast<size_t>(it - storeClusters_.begin());
    }
    if (it == storeClusters_.end() || it->store != store || it->cluster != cluster) {
        ClusterHold unknown;
        if (it != storeClusters_.begin() && std::prev(it)->store == store)
            unknown.guesses = std::prev(it)->guesses + storeSplit_[store];
        return unknown;
    }
    if (it->base == kBlockedBase) return {Hold::Blocked, 0, false, it->guesses};
    return {Hold::Base, it->base, it->bridged, it->guesses};
}

size_t StoreReassembly::MemoryUsed() const {
    return byBase_.capacity() * sizeof(uint32_t) + keys_.capacity() * sizeof(Key) +
           pieces_.capacity() * sizeof(Piece) + storeSolid_.capacity() + storeSplit_.capacity() +
           storeClusters_.capacity() * sizeof(StoreCluster) +
           (fullKeys_.capacity() + adjacentJoins_.capacity()) * sizeof(fullKeys_[0]) +
           solidClusters_.capacity() * sizeof(uint32_t) +
           (namingAfter_.capacity() + namingLastEdge_.capacity() + namingBefore_.capacity()) *
               sizeof(namingAfter_[0]);
}

}  // namespace varrow
