#include "sample/sample_image.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <stdexcept>

#include "image_builder/image_builder.h"
#include "image_builder/message_factory.h"
#include "image_builder/store_builder.h"

namespace ostrel::sample {
namespace {

using namespace builder;

// The Inbox as it was before its last compaction: messages with store
// records between them, two messages written at the same time, deletions,
// and newer messages that went into the freed space.
StoreBuilder OlderInbox(MessageFactory& factory, Random& random) {
    StoreBuilder store(random.Next());
    for (int i = 0; i < 120; ++i) {
        if (i == 40) {
            const std::string first = factory.Next();
            store.AddInterleaved(first, factory.Next());
            continue;
        }
        store.AddMessage(factory.Next());
        if (random.Percent(12)) store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
    }
    std::set<size_t> doomed;
    while (doomed.size() < 16) doomed.insert(random.Below(store.Messages().size()));
    for (size_t message : doomed) store.FreeMessage(message);
    for (int i = 0; i < 8; ++i) store.AddMessage(factory.Next());
    return store;
}

StoreBuilder StoreOf(MessageFactory& factory, Random& random, int count, bool sent) {
    StoreBuilder store(random.Next());
    for (int i = 0; i < count; ++i) store.AddMessage(factory.Next(sent));
    return store;
}

size_t FirstMessageOf(const Manifest& manifest, size_t file) {
    for (size_t i = 0; i < manifest.messages.size(); ++i) {
        if (manifest.messages[i].file == file) return i;
    }
    return manifest.messages.size();
}

}  // namespace

SampleImage BuildSampleImage(uint64_t seed) {
    Random random(seed);
    MessageFactory factory(random.Next());

    const StoreBuilder olderInbox = OlderInbox(factory, random);
    StoreBuilder inbox = olderInbox.Compacted(random.Next());
    for (int i = 0; i < 24; ++i) inbox.AddMessage(factory.Next());
    const StoreBuilder sent = StoreOf(factory, random, 60, true);
    const StoreBuilder deleted = StoreOf(factory, random, 36, false);

    constexpr uint32_t C = kSampleClusterSize;
    SampleImage sample;
    sample.seed = seed;
    ImageBuilder image(random.Next());
    image.AppendNoise(16 * C, NoiseKind::Zeros);   // boot area and file system tables
    image.AppendNoise(48 * C, NoiseKind::Random);  // system files
    const size_t inboxFile = image.AppendWithGaps(kInboxName, inbox, C, 20, 3);
    image.AppendNoise(24 * C, NoiseKind::Text);
    const std::vector<size_t> mixed =
        image.AppendMixed({{kSentName, &sent}, {kOlderInboxName, &olderInbox}}, C, 96, ClusterOrder::Shuffled);
    image.AppendNoise(16 * C, NoiseKind::Random);
    const size_t deletedFile = image.PlaceContiguous(kDeletedName, deleted, image.Size());
    if (image.Size() % C != 0) image.AppendNoise(C - image.Size() % C, NoiseKind::Zeros);  // slack of its last cluster
    image.AppendNoise(40 * C, NoiseKind::Text);
    image.AppendNoise(24 * C, NoiseKind::Random);

    // Other files have since taken a few clusters of the older copy.
    sample.damagedClusters = image.DamageClusters(mixed[1], 4, NoiseKind::Text);

    // One Inbox cluster in the middle of a long message is gone.
    const size_t inboxMessages = inbox.Messages().size();
    std::optional<size_t> brokenCluster;
    size_t brokenInStore = inboxMessages / 3;
    for (; brokenInStore < inboxMessages && !brokenCluster; ++brokenInStore) {
        brokenCluster = image.BreakChain(inboxFile, brokenInStore, NoiseKind::Random);
    }
    if (!brokenCluster) throw std::logic_error("no Inbox message spans three clusters");
    --brokenInStore;

    sample.manifest = image.BuildManifest();
    sample.bytes = image.Bytes();
    sample.brokenMessage = FirstMessageOf(sample.manifest, inboxFile) + brokenInStore;

    sample.layouts.resize(sample.manifest.files.size());
    sample.layouts[inboxFile] = "in order with gaps; cluster " + std::to_string(*brokenCluster) + " lost";
    sample.layouts[mixed[0]] = "shuffled among the older Inbox and other files";
    sample.layouts[mixed[1]] = "shuffled among Sent Items and other files; " +
                               std::to_string(sample.damagedClusters.size()) + " clusters overwritten";
    char where[64];
    std::snprintf(where, sizeof where, "contiguous at 0x%llx",
                  static_cast<unsigned long long>(sample.manifest.files[deletedFile].pieces.front().position));
    sample.layouts[deletedFile] = where;
    return sample;
}

void WriteSummary(const SampleImage& sample, std::ostream& out) {
    const Manifest& manifest = sample.manifest;
    char line[256];
    std::snprintf(line, sizeof line, "Sample image: %.1f MB (%zu bytes), seed %llu, %u-byte clusters\n",
                  static_cast<double>(sample.bytes.size()) / (1024 * 1024), sample.bytes.size(),
                  static_cast<unsigned long long>(sample.seed), kSampleClusterSize);
    out << line;
    size_t intact = 0;
    for (size_t file = 0; file < manifest.files.size(); ++file) {
        size_t count = 0;
        size_t whole = 0;
        for (const PlacedMessage& message : manifest.messages) {
            if (message.file != file) continue;
            ++count;
            if (message.Intact()) ++whole;
        }
        intact += whole;
        std::snprintf(line, sizeof line, "  %-20s %4zu messages, %4zu intact  %s\n", manifest.files[file].name.c_str(),
                      count, whole, sample.layouts[file].c_str());
        out << line;
    }
    const PlacedMessage& broken = manifest.messages[sample.brokenMessage];
    std::snprintf(line, sizeof line,
                  "%zu messages in %zu stores, %zu intact; the chain of %s message 0x%08x breaks after its head\n",
                  manifest.messages.size(), manifest.files.size(), intact, manifest.files[broken.file].name.c_str(),
                  broken.HeadOffset());
    out << line;
}

}  // namespace ostrel::sample
