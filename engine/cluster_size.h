// The cluster size of the file system that holds the stores, as the pieces
// of the stores show it.
//
// A store file that the file system split up lies on the source in whole
// clusters, so every piece of it starts at a cluster boundary and its base
// (position minus store offset) is a multiple of the cluster size.
#pragma once

#include <cstdint>
#include <vector>

namespace varrow {

inline constexpr uint32_t kSmallestClusterSize = 512;
inline constexpr uint32_t kLargestClusterSize = 65536;
// Taken when the pieces do not tell.
inline constexpr uint32_t kAssumedClusterSize = 4096;

// The largest power of two from 512 to 65536 that divides at least 90% of
// sharedBases, the bases that two or more blocks share (each once).
// kAssumedClusterSize when there are fewer than two, or when not even 512
// divides enough of them.
uint32_t InferClusterSize(const std::vector<int64_t>& sharedBases);

}  // namespace varrow
