// Harder disks of colliding stores: many stores at several cluster sizes
// with overwritten clusters, old and new versions of one store on a
// partition at the old 63-sector alignment, two volumes with different
// cluster sizes where a deleted fragmented copy lies beside the live store,
// and one store of many thousands of single-block messages.
#pragma once

#include <cstddef>
#include <cstdint>

#include "image_builder/colliding_stores.h"

namespace ostrel::builder {

// The first partition of an old disk starts at sector 63.
inline constexpr uint64_t kSector63 = 63 * 512;

// Twelve stores (three mailboxes) on one volume of clusterSize clusters:
// four fragmented in order with gaps, four interleaved and four shuffled
// among other files, with some clusters of six of them overwritten.
ScoredImage ManyStores(uint64_t seed, uint32_t clusterSize);

// An Inbox and the older version of it that compaction left, both
// fragmented on a volume that starts at sector 63, with Sent Items, a
// few clusters of the older version reused by other files.
ScoredImage StoreVersions(uint64_t seed);

// Two volumes: the first (sector 63, 4 KiB clusters) holds the live Inbox
// fragmented in order and Sent Items; the second (at 64 MiB minus a few
// sectors past a whole MiB, 16 KiB clusters) a deleted, fragmented older
// copy of the Inbox,
// partly overwritten.
ScoredImage TwoVolumes(uint64_t seed);

// One contiguous store of count single-block messages, some of them
// deleted and their slots reused, between noise.
ScoredImage ScatteredSingleBlocks(uint64_t seed, size_t count);

}  // namespace ostrel::builder
