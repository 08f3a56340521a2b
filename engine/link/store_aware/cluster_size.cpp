#include "link/store_aware/cluster_size.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "link/store_aware/block_records.h"
#include "scan/block_layout.h"

namespace varrow {

namespace {

// Fewer changes of base than this tell nothing about clusters.
constexpr size_t kMinBaseChanges = 3;

// A block with its header: the step of a store's grid.
constexpr uint32_t kBlockSpan = kBlockHeaderSize + kBlockDataSize;

// The non-negative remainder of value by a power of two.
int64_t Mod(int64_t value, uint32_t size) {
    return static_cast<int64_t>(static_cast<uint64_t>(value) & (size - 1));
}

}  // namespace

uint32_t InferClusterSize(const BlockRecords& blocks) {
    // (last block of a run, first block of the next run), for consecutive
    // runs of two or more blocks with different bases.
    std::vector<std::pair<uint32_t, uint32_t>> changes;
    // The last blocks of runs of two or more that name the next block on
    // the grid where their own base does not hold it: the file goes on
    // elsewhere from a file cluster start between the two headers.
    std::vector<uint32_t> splits;
    uint32_t previousLast = BlockRecords::kNoBlock;
    for (uint32_t first = 0; first < blocks.size();) {
        uint32_t last = first;
        while (last + 1 < blocks.size() && blocks[last + 1].Base() == blocks[first].Base()) ++last;
        if (last > first) {
            const BlockRecord& end = blocks[last];
            if (end.nextOffset == uint64_t{end.selfOffset} + kBlockSpan &&
                blocks.At(end.Base(), end.nextOffset) == BlockRecords::kNoBlock)
                splits.push_back(last);
            if (previousLast != BlockRecords::kNoBlock &&
                blocks[previousLast].Base() != blocks[first].Base()) {
                changes.emplace_back(previousLast, first);
            }
            previousLast = last;
        }
        first = last + 1;
    }
    if (changes.size() < kMinBaseChanges) return kAssumedClusterSize;

    const auto agreeing = [&](uint32_t size) {
        size_t count = 0;
        for (const auto& [i, j] : changes) {
            const auto pi = static_cast<int64_t>(blocks[i].position);
            const auto pj = static_cast<int64_t>(blocks[j].position);
            // The end of the file cluster that holds the first byte of i's
            // header (the header may run into the next cluster, which a
            // header cut where the file goes on elsewhere, yet accepted
            // with the bytes in line, does), then the first file-cluster
            // start of j's piece from there.
            const int64_t x = pi + 1 + Mod(blocks[i].Base() - pi - 1, size);
            const int64_t y = x + Mod(blocks[j].Base() - x, size);
            if (y <= pj) ++count;
        }
        return count;
    };
    // A split agrees with a size that has a multiple after the last
    // block's offset, up to the next one's.
    const auto splitsAgreeing = [&](uint32_t size) {
        size_t count = 0;
        for (const uint32_t i : splits)
            count += (blocks[i].selfOffset / size + 1) * size <= blocks[i].nextOffset;
        return count;
    };
    const size_t smallest = agreeing(kSmallestClusterSize);
    if (smallest == 0) return kAssumedClusterSize;
    uint32_t fromChanges = kSmallestClusterSize;
    const size_t splitsAtSmallest = splitsAgreeing(kSmallestClusterSize);
    for (uint32_t size = kLargestClusterSize; size > kSmallestClusterSize; size /= 2) {
        // Twice the real size agrees with about half the splits; the rest
        // of them leaves room for blocks lost to damage.
        if (splitsAgreeing(size) * 100 < splitsAtSmallest * 75) continue;
        if (agreeing(size) * 100 >= smallest * 95) {
            fromChanges = size;
            break;
        }
    }
    // Pieces far apart agree with any size; the distances between their
    // bases, which the volume's clusters divide, bound it. Every distance
    // is a whole number of sectors, so 512 tells nothing: stores that lie
    // on no grid coarser than a sector (an image of files placed anywhere)
    // take the assumed size.
    uint32_t fromDistances = kAssumedClusterSize;
    for (uint32_t size = kLargestClusterSize; size > kSmallestClusterSize; size /= 2) {
        size_t divisible = 0;
        for (const auto& [i, j] : changes) {
            divisible +=
                (static_cast<uint64_t>(blocks[j].Base() - blocks[i].Base()) & (size - 1)) == 0;
        }
        if (divisible * 100 >= changes.size() * 90) {
            fromDistances = size;
            break;
        }
    }
    return std::min(fromChanges, fromDistances);
}

}  // namespace varrow
