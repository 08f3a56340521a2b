#include "image_builder/colliding_stores.h"

#include <map>

#include "image_builder/message_factory.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"

namespace ostrel::builder {

namespace {

NoiseKind NoiseOf(Random& random) {
    const NoiseKind kinds[] = {NoiseKind::Random, NoiseKind::Text, NoiseKind::Zeros};
    return kinds[random.Below(3)];
}

void AddMessages(Random& random, MessageFactory& factory, StoreBuilder& store, int count, bool sentItems,
                 unsigned recordPercent) {
    for (int i = 0; i < count; ++i) {
        store.AddMessage(factory.Next(sentItems));
        if (random.Percent(recordPercent)) store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
    }
}

// The stores of one mailbox, 150 messages.
struct Mailbox {
    StoreBuilder inbox;
    StoreBuilder sent;
    StoreBuilder deleted;
    StoreBuilder archive;

    Mailbox(Random& random, unsigned recordPercent)
        : inbox(random.Next()), sent(random.Next()), deleted(random.Next()), archive(random.Next()) {
        MessageFactory factory(random.Next());
        AddMessages(random, factory, inbox, 60, false, recordPercent);
        AddMessages(random, factory, sent, 40, true, recordPercent);
        AddMessages(random, factory, deleted, 30, false, recordPercent);
        AddMessages(random, factory, archive, 20, false, recordPercent);
    }
    std::vector<NamedStore> Named() const {
        return {{"Inbox", &inbox}, {"Sent Items", &sent}, {"Deleted Items", &deleted}, {"Archive", &archive}};
    }
};

ScoredImage Finished(const ImageBuilder& image) { return {image.Bytes(), image.BuildManifest()}; }

}  // namespace

ScoredImage ContiguousStores(uint64_t seed, bool aligned, uint32_t clusterSize) {
    Random random(seed);
    const Mailbox mailbox(random, kStoreRecordPercent);
    ImageBuilder image(random.Next());
    image.AppendNoise(16 * clusterSize, NoiseKind::Zeros);
    for (const NamedStore& store : mailbox.Named()) {
        image.AppendNoise(random.Between(1, 8) * clusterSize, NoiseOf(random));
        if (!aligned) image.AppendNoise(random.Between(1, clusterSize - 1), NoiseOf(random));
        image.PlaceContiguous(store.name, *store.store, image.Size(), clusterSize);
        // The slack of its last cluster.
        if (image.Size() % clusterSize) image.AppendNoise(clusterSize - image.Size() % clusterSize, NoiseKind::Zeros);
    }
    image.AppendNoise(8 * clusterSize, NoiseKind::Text);
    return Finished(image);
}

ScoredImage StoresWithGaps(uint64_t seed, uint32_t clusterSize) {
    Random random(seed);
    const Mailbox mailbox(random, kStoreRecordPercent);
    ImageBuilder image(random.Next());
    image.AppendNoise(16 * clusterSize, NoiseKind::Zeros);
    for (const NamedStore& store : mailbox.Named()) {
        image.AppendWithGaps(store.name, *store.store, clusterSize, 25, 3);
        image.AppendNoise(random.Between(1, 8) * clusterSize, NoiseOf(random));
    }
    return Finished(image);
}

ScoredImage MixedStores(uint64_t seed, ClusterOrder order, unsigned recordPercent, uint32_t clusterSize) {
    Random random(seed);
    const Mailbox mailbox(random, recordPercent);
    ImageBuilder image(random.Next());
    image.AppendNoise(16 * clusterSize, NoiseKind::Zeros);
    // As many bytes of other files whatever the cluster size.
    image.AppendMixed(mailbox.Named(), clusterSize, 96 * kDefaultClusterSize / clusterSize, order);
    image.AppendNoise(8 * clusterSize, NoiseKind::Text);
    return Finished(image);
}

ScoredImage BesideDamagedOlderCopy(uint64_t seed, uint32_t clusterSize) {
    Random random(seed);
    MessageFactory factory(random.Next());
    StoreBuilder older(random.Next());
    AddMessages(random, factory, older, 70, false, kStoreRecordPercent);
    for (int i = 0; i < 10; ++i) older.FreeMessage(random.Below(older.Messages().size()));
    for (int i = 0; i < 5; ++i) older.AddMessage(factory.Next());
    StoreBuilder inbox = older.Compacted(random.Next());
    for (int i = 0; i < 15; ++i) inbox.AddMessage(factory.Next());
    StoreBuilder sent(random.Next());
    AddMessages(random, factory, sent, 30, true, kStoreRecordPercent);

    ImageBuilder image(random.Next());
    image.AppendNoise(16 * clusterSize, NoiseKind::Zeros);
    image.AppendWithGaps("Inbox", inbox, clusterSize, 20, 3);
    image.AppendNoise(8 * clusterSize, NoiseKind::Text);
    const std::vector<size_t> mixed =
        image.AppendMixed({{"Sent Items", &sent}, {"Inbox (older copy)", &older}}, clusterSize,
                          64 * kDefaultClusterSize / clusterSize, ClusterOrder::Shuffled);
    image.DamageClusters(mixed[1], 4, NoiseKind::Text);
    image.AppendNoise(8 * clusterSize, NoiseKind::Random);
    return Finished(image);
}

RecoveryScore& RecoveryScore::operator+=(const RecoveryScore& other) {
    real += other.real;
    exact += other.exact;
    outputs += other.outputs;
    unmatched += other.unmatched;
    return *this;
}

RecoveryScore ScoreOutputs(const Manifest& manifest, const std::vector<std::string>& files) {
    std::map<std::string, size_t> written;
    for (const std::string& bytes : files) ++written[bytes];
    std::map<std::string, bool> known;
    for (const PlacedMessage& message : manifest.messages) known[message.text] = true;

    RecoveryScore score;
    score.outputs = files.size();
    for (const PlacedMessage& message : manifest.messages) {
        if (!message.Intact()) continue;
        ++score.real;
        // One output counts for one message, also where two stores hold the
        // same text.
        auto it = written.find(message.text);
        if (it != written.end() && it->second > 0) {
            --it->second;
            ++score.exact;
        }
    }
    for (const std::string& bytes : files) score.unmatched += known.count(bytes) == 0;
    return score;
}

}  // namespace ostrel::builder
