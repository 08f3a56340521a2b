// Disk images on which several stores collide, in the layouts that real
// disks show (stores one after another, fragmented in order, shuffled among
// each other's clusters, beside a damaged older copy), and the score of a
// recovery against their manifest. Used by the recovery tests and by the
// quality benchmark, so that both judge the same images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image_builder/image_builder.h"
#include "image_builder/manifest.h"

namespace ostrel::builder {

struct ScoredImage {
    std::vector<uint8_t> bytes;
    Manifest manifest;
};

// Of the messages of a mailbox's stores, this share in percent is followed
// by another store record, so that the stores' layouts drift apart.
constexpr unsigned kStoreRecordPercent = 10;

// Inbox, Sent Items, Deleted Items and an archive folder, each in one piece
// with noise between them, starting on a cluster boundary or anywhere.
ScoredImage ContiguousStores(uint64_t seed, bool aligned, uint32_t clusterSize = kDefaultClusterSize);
// The same four stores, each fragmented in order with gaps.
ScoredImage StoresWithGaps(uint64_t seed, uint32_t clusterSize = kDefaultClusterSize);
// All four stores' clusters among other files' clusters, each store's in
// order or all shuffled. With recordPercent 0 all four lay their blocks
// out at the same offsets, the hardest case.
ScoredImage MixedStores(uint64_t seed, ClusterOrder order, unsigned recordPercent = kStoreRecordPercent,
                        uint32_t clusterSize = kDefaultClusterSize);
// An Inbox beside the older copy that its compaction left behind: the copy
// holds deleted messages and reused space, lies shuffled among Sent Items'
// clusters and has lost a few clusters to other files.
ScoredImage BesideDamagedOlderCopy(uint64_t seed, uint32_t clusterSize = kDefaultClusterSize);

struct RecoveryScore {
    size_t real = 0;       // intact messages on the image
    size_t exact = 0;      // of them, written byte for byte
    size_t outputs = 0;    // files written
    size_t unmatched = 0;  // files equal to no message of the image

    RecoveryScore& operator+=(const RecoveryScore& other);
};

// Scores the contents of the files a recovery wrote against the manifest.
RecoveryScore ScoreOutputs(const Manifest& manifest, const std::vector<std::string>& files);

}  // namespace ostrel::builder
