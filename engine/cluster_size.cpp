#include "cluster_size.h"

#include <algorithm>

namespace varrow {

uint32_t InferClusterSize(const std::vector<int64_t>& sharedBases) {
    if (sharedBases.size() < 2) return kAssumedClusterSize;
    for (uint32_t size = kLargestClusterSize; size >= kSmallestClusterSize; size /= 2) {
        // A power of two divides a two's-complement number when its low bits
        // are clear, negative numbers included.
        const auto mask = static_cast<uint64_t>(size - 1);
        const auto divided = static_cast<size_t>(
            std::count_if(sharedBases.begin(), sharedBases.end(),
                          [mask](int64_t base) { return (static_cast<uint64_t>(base) & mask) == 0; }));
        if (divided * 10 >= sharedBases.size() * 9) return size;
    }
    return kAssumedClusterSize;
}

}  // namespace varrow
