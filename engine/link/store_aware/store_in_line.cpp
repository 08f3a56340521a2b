// Clusters of one base that lie in line on disk.
//
// Two clusters that follow each other on disk at one base are most often
// one piece of one file. Where copies of a store lie close together, the
// cluster after may as well be another copy's that happens to sit there at
// the same base: then some other copy's file ends at the first cluster and
// some other's starts at the second, and the two in-line joins of those
// files are crossed. Such a join is not made blindly: the pieces stay
// apart and LinkEnds weighs going on in line against the other copies'
// options with the same evidence as any link. A join no copy rivals stays
// as it is, so a single store is read exactly as it lies.
#include <algorithm>

#include "link/store_aware/store_reassembly.h"

namespace varrow {

bool StoreReassembly::AnotherCopyStartsAt(int64_t base, uint32_t cluster) const {
    if (cluster == 0) return false;
    const auto first =
        std::lower_bound(fullKeys_.begin(), fullKeys_.end(), std::make_pair(cluster, 0u));
    for (auto it = first; it != fullKeys_.end() && it->first == cluster; ++it) {
        const int64_t other = keys_[it->second].base;
        if (other != base && FindKey(other, cluster - 1) == kNone) return true;
    }
    return false;
}

bool StoreReassembly::AnotherEndNamesInto(int64_t base, uint32_t cluster) const {
    const uint64_t low = (uint64_t{cluster} + 1) * clusterSize_;
    const uint64_t high = low + clusterSize_ - kBlockHeaderSize;
    return AnyCopyEndingAt(base, cluster, [&](const Key& other) {
        for (uint32_t i = other.first; i < other.first + other.count; ++i) {
            const uint32_t next = (*blocks_)[byBase_[i]].nextOffset;
            if (next >= low && next <= high && blocks_->At(base, next) != BlockRecords::kNoBlock)
                return true;
        }
        return false;
    });
}

bool StoreReassembly::RivalledInLine(uint32_t key) const {
    const Key& k = keys_[key];
    return AnotherCopyEndsAt(k.base, k.cluster) && AnotherCopyStartsAt(k.base, k.cluster + 1);
}

uint32_t StoreReassembly::InLineStart(uint32_t end) const {
    const uint32_t next = pieces_[end].lastKey + 1;
    if (next >= keys_.size() || !keys_[next].inLine) return kNone;
    const uint32_t piece = keys_[next].piece;
    return pieces_[piece].solid ? piece : kNone;
}

bool StoreReassembly::NamesFromInLineEnd(uint32_t start, uint32_t block) const {
    const Key& first = keys_[pieces_[start].firstKey];
    const BlockRecord& b = (*blocks_)[block];
    return first.inLine && b.Base() == first.base &&
           b.selfOffset / clusterSize_ + 1 == first.cluster;
}

}  // namespace varrow
