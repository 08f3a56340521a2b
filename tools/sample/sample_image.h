// The bundled sample disk image: a few hundred messages in the stores of
// one mailbox, fragmented among other files, with an older copy of the
// Inbox that compaction left behind and one chain broken in the middle.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "image_builder/manifest.h"

namespace ostrel::sample {

struct SampleImage {
    uint64_t seed = 0;
    std::vector<uint8_t> bytes;
    builder::Manifest manifest;
    std::vector<std::string> layouts;  // per manifest file: how it lies on the image
    size_t brokenMessage = 0;          // index into manifest.messages
    std::vector<size_t> damagedClusters;  // clusters of the older copy overwritten by other files
};

inline constexpr uint32_t kSampleClusterSize = 4096;
inline constexpr char kInboxName[] = "Inbox";
inline constexpr char kOlderInboxName[] = "Inbox (older copy)";
inline constexpr char kSentName[] = "Sent Items";
inline constexpr char kDeletedName[] = "Deleted Items";

// Builds the sample image; the same seed always gives the same bytes.
// Never fails short of running out of memory.
SampleImage BuildSampleImage(uint64_t seed);

// A few lines for a person: image size, stores, messages, the damage.
void WriteSummary(const SampleImage& sample, std::ostream& out);

}  // namespace ostrel::sample
