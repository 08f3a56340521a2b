#include "image_builder/store_layouts.h"

#include <algorithm>
#include <string>
#include <vector>

#include "image_builder/message_factory.h"
#include "image_builder/random.h"
#include "image_builder/store_builder.h"

namespace ostrel::builder {

namespace {

uint64_t Clusters(const StoreBuilder& store, uint32_t clusterSize) {
    return (store.Bytes().size() + clusterSize - 1) / clusterSize;
}

NoiseKind NoiseOf(Random& random) {
    const NoiseKind kinds[] = {NoiseKind::Random, NoiseKind::Text, NoiseKind::Zeros};
    return kinds[random.Below(3)];
}

StoreBuilder MakeStore(Random& random, MessageFactory& factory, int count, bool sent) {
    StoreBuilder store(random.Next());
    for (int i = 0; i < count; ++i) {
        store.AddMessage(factory.Next(sent));
        if (random.Percent(kStoreRecordPercent))
            store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
    }
    return store;
}

// A volume of clusterSize clusters from position start on: the stores'
// clusters go into its slots (each store in order with gaps, or all
// shuffled with the slots of other files), the other slots get noise.
// Returns the files' numbers.
struct Volume {
    ImageBuilder& image;
    Random& random;
    uint64_t start;
    uint32_t clusterSize;
    uint64_t next = 0;  // first free slot

    uint64_t Slot(uint64_t slot) const { return start + slot * clusterSize; }

    void Noise(uint64_t slots) {
        for (uint64_t i = 0; i < slots; ++i)
            image.AddNoise(Slot(next++), clusterSize, NoiseOf(random));
    }

    size_t InOrder(const std::string& name, const StoreBuilder& store, unsigned gapPercent) {
        std::vector<uint64_t> positions;
        for (uint64_t c = 0; c < Clusters(store, clusterSize); ++c) {
            image.AddNoise(Slot(next), clusterSize,
                           NoiseKind::Random);  // slack of the last cluster
            positions.push_back(Slot(next++));
            if (random.Percent(gapPercent)) Noise(random.Between(1, 3));
        }
        return image.PlaceClusters(name, store, clusterSize, positions);
    }

    std::vector<size_t> Mixed(const std::vector<NamedStore>& stores, size_t noiseSlots,
                              bool shuffled) {
        constexpr size_t kNoise = SIZE_MAX;
        std::vector<size_t> owners(noiseSlots, kNoise);
        for (size_t s = 0; s < stores.size(); ++s)
            owners.insert(owners.end(), Clusters(*stores[s].store, clusterSize), s);
        random.Shuffle(owners);
        std::vector<std::vector<uint64_t>> order(stores.size());
        for (size_t s = 0; s < stores.size(); ++s) {
            for (uint64_t c = 0; c < Clusters(*stores[s].store, clusterSize); ++c)
                order[s].push_back(c);
            if (shuffled) random.Shuffle(order[s]);
        }
        std::vector<std::vector<uint64_t>> positions(stores.size());
        for (size_t s = 0; s < stores.size(); ++s) positions[s].resize(order[s].size());
        std::vector<size_t> used(stores.size(), 0);
        for (const size_t owner : owners) {
            const uint64_t position = Slot(next++);
            image.AddNoise(position, clusterSize,
                           owner == kNoise ? NoiseOf(random) : NoiseKind::Random);
            if (owner != kNoise) positions[owner][order[owner][used[owner]++]] = position;
        }
        std::vector<size_t> files;
        for (size_t s = 0; s < stores.size(); ++s) {
            files.push_back(
                image.PlaceClusters(stores[s].name, *stores[s].store, clusterSize, positions[s]));
        }
        return files;
    }
};

ScoredImage Finished(const ImageBuilder& image) { return {image.Bytes(), image.BuildManifest()}; }

}  // namespace

ScoredImage ManyStores(uint64_t seed, uint32_t clusterSize) {
    Random random(seed);
    MessageFactory factory(random.Next());
    std::vector<StoreBuilder> stores;
    const char* names[] = {"Inbox", "Sent Items", "Deleted Items", "Archive"};
    for (int mailbox = 0; mailbox < 3; ++mailbox) {
        for (int s = 0; s < 4; ++s) {
            stores.push_back(
                MakeStore(random, factory, static_cast<int>(random.Between(15, 45)), s == 1));
        }
    }
    std::vector<NamedStore> named;
    for (size_t i = 0; i < stores.size(); ++i) {
        named.push_back({std::string(names[i % 4]) + " " + std::to_string(i / 4 + 1), &stores[i]});
    }
    ImageBuilder image(random.Next());
    Volume volume{image, random, kSector63, clusterSize};
    image.AddNoise(0, kSector63, NoiseKind::Zeros);
    volume.Noise(8);
    std::vector<size_t> files;
    for (size_t i = 0; i < 4; ++i) {
        files.push_back(volume.InOrder(named[i].name, *named[i].store, 20));
        volume.Noise(random.Between(0, 4));
    }
    for (const size_t file : volume.Mixed({named.begin() + 4, named.begin() + 8}, 48, false))
        files.push_back(file);
    for (const size_t file : volume.Mixed({named.begin() + 8, named.end()}, 64, true))
        files.push_back(file);
    volume.Noise(4);
    // Other files written later over a few clusters of six stores.
    for (int i = 0; i < 6; ++i)
        image.DamageClusters(files[random.Below(files.size())], 2, NoiseOf(random));
    return Finished(image);
}

ScoredImage StoreVersions(uint64_t seed) {
    Random random(seed);
    MessageFactory factory(random.Next());
    StoreBuilder older = MakeStore(random, factory, 80, false);
    for (int i = 0; i < 12; ++i) older.FreeMessage(random.Below(older.Messages().size()));
    for (int i = 0; i < 6; ++i) older.AddMessage(factory.Next());
    StoreBuilder inbox = older.Compacted(random.Next());
    for (int i = 0; i < 20; ++i) inbox.AddMessage(factory.Next());
    const StoreBuilder sent = MakeStore(random, factory, 30, true);

    ImageBuilder image(random.Next());
    image.AddNoise(0, kSector63, NoiseKind::Zeros);
    Volume volume{image, random, kSector63, 4096};
    volume.Noise(16);
    const std::vector<size_t> files =
        volume.Mixed({{"Inbox (older version)", &older}, {"Sent Items", &sent}}, 40, true);
    volume.Noise(6);
    volume.InOrder("Inbox", inbox, 25);
    volume.Noise(8);
    image.DamageClusters(files[0], 3, NoiseKind::Text);
    return Finished(image);
}

ScoredImage TwoVolumes(uint64_t seed) {
    Random random(seed);
    MessageFactory factory(random.Next());
    StoreBuilder older = MakeStore(random, factory, 70, false);
    for (int i = 0; i < 8; ++i) older.FreeMessage(random.Below(older.Messages().size()));
    StoreBuilder inbox = older.Compacted(random.Next());
    for (int i = 0; i < 15; ++i) inbox.AddMessage(factory.Next());
    const StoreBuilder sent = MakeStore(random, factory, 30, true);

    ImageBuilder image(random.Next());
    image.AddNoise(0, kSector63, NoiseKind::Zeros);
    Volume first{image, random, kSector63, 4096};
    first.Noise(12);
    first.InOrder("Inbox", inbox, 25);
    first.Noise(4);
    first.InOrder("Sent Items", sent, 15);
    first.Noise(8);
    // The second volume starts 63 sectors past the next whole MiB.
    const uint64_t secondStart =
        std::max<uint64_t>((image.Size() / (1 << 20) + 1) << 20, 1 << 20) + kSector63;
    image.AddNoise(image.Size(), secondStart - image.Size(), NoiseKind::Zeros);
    Volume second{image, random, secondStart, 16384};
    second.Noise(4);
    const std::vector<size_t> copy = second.Mixed({{"Inbox (deleted copy)", &older}}, 24, true);
    second.Noise(2);
    image.DamageClusters(copy[0], 2, NoiseKind::Random);
    return Finished(image);
}

ScoredImage ScatteredSingleBlocks(uint64_t seed, size_t count) {
    Random random(seed);
    StoreBuilder store(random.Next());
    const char* words[] = {"note", "call", "later", "ok",   "thanks", "see",
                           "you",  "at",   "noon",  "file", "sent"};
    for (size_t i = 0; i < count; ++i) {
        std::string text = "From: desk" + std::to_string(random.Below(40)) +
                           "@example.com\r\nSubject: Note " + std::to_string(i) + "\r\n\r\n";
        const uint64_t length = random.Between(1, 60);
        for (uint64_t w = 0; w < length; ++w) text += std::string(words[random.Below(11)]) + " ";
        text.resize(std::min<size_t>(text.size(), 512));
        store.AddMessage(text);
        if (random.Percent(3)) store.FreeMessage(random.Below(store.Messages().size()));
        if (random.Percent(2)) store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 900)));
    }
    ImageBuilder image(random.Next());
    image.AppendNoise(random.Between(1, 16) * 4096 + random.Below(2) * random.Between(1, 4095),
                      NoiseKind::Text);
    image.PlaceContiguous("Notes", store, image.Size());
    image.AppendNoise(random.Between(0, 8192), NoiseKind::Text);
    return Finished(image);
}

}  // namespace ostrel::builder
