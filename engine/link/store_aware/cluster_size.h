// The cluster size of the file system that holds the stores, as the pieces
// of the stores show it.
//
// A store file that the file system split up lies on the source in whole
// clusters: where one piece of it ends and the next piece (of another
// base, base = position minus store offset) begins, both sit on cluster
// boundaries of their own file. That holds whatever the partition's
// alignment on the disk, because it is measured from each piece's base,
// not from position 0.
#pragma once

#include <cstdint>

namespace varrow {

class BlockRecords;

inline constexpr uint32_t kSmallestClusterSize = 512;
inline constexpr uint32_t kLargestClusterSize = 65536;
// Taken when the pieces do not tell.
inline constexpr uint32_t kAssumedClusterSize = 4096;

// Splits the blocks (in ascending position) into runs of one base and looks
// at each change from a run of two or more blocks to the next such run: the
// change agrees with a cluster size when the first file-cluster start of the
// second run's file after the end of the first run's cluster lies at or
// before the second run's first header. Returns the largest size from
// 65536 down to 512 that at least 95% as many changes agree with as with
// 512 and that puts a file cluster start inside at least 75% of the splits
// (a run's last block naming the next block on the grid, which its base
// does not hold), and no larger than the largest size from 1024 up that
// divides at least 90% of the distances between the two runs' bases
// (pieces far apart agree with every size, but the bases of one volume's
// files differ by whole clusters; without such a size, the assumed one);
// kAssumedClusterSize with fewer than three changes. Overestimating would
// cut pieces where they do not end; underestimating only splits a real
// cluster into halves that share a base.
uint32_t InferClusterSize(const BlockRecords& blocks);

}  // namespace varrow
