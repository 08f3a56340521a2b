// Store-aware recovery end to end: on one intact store it writes what the
// classic linking writes, file for file and event for event; on disks with
// several colliding stores it writes more messages byte-exact and fewer
// outputs that match no real message.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "event_recorder.h"
#include "file64.h"
#include "image_builder/image_builder.h"
#include "image_builder/message_factory.h"
#include "image_builder/store_builder.h"
#include "outfolders.h"
#include "sample/sample_image.h"
#include "scan.h"
#include "scratch.h"
#include "session.h"
#include "store_aware_linking.h"

namespace varrow {
namespace {

namespace builder = ostrel::builder;
using testing::EventRecorder;
using testing::RecordedEvent;
using testing::RunRecovery;
using testing::ScratchFolder;

constexpr uint32_t kCluster = 4096;

// What one recovery left: every output file by its path below the output
// folder, and every event.
struct Outcome {
    int32_t result = 0;
    std::map<std::string, std::string> files;
    std::vector<RecordedEvent> events;
};

std::vector<std::string> Names(const Outcome& outcome) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : outcome.files) names.push_back(name);
    return names;
}

std::string Describe(const RecordedEvent& event) {
    return std::to_string(event.code) + " " + event.text + " " + std::to_string(event.number);
}

class StoreAwareRecovery : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::string output = scratch / "out";
    std::string savedTmpdir;

    void SetUp() override {
        std::filesystem::create_directory(scratch / "tmp");
        if (const char* value = std::getenv("TMPDIR")) savedTmpdir = value;
        setenv("TMPDIR", (scratch / "tmp").c_str(), 1);
    }
    void TearDown() override {
        if (savedTmpdir.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", savedTmpdir.c_str(), 1);
    }

    Outcome Recover(const std::vector<uint8_t>& image, uint32_t options) {
        const std::string source = scratch.WriteFile("image.bin", image);
        std::filesystem::remove_all(output);
        std::filesystem::create_directory(output);
        SetSubfolderCounter(1);
        EventRecorder recorder;
        Outcome outcome;
        outcome.result = RunRecovery(source, output, options, &recorder);
        outcome.events = recorder.events;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(output)) {
            if (!entry.is_regular_file()) continue;
            const auto bytes = testing::ReadWholeFile(entry.path().string());
            outcome.files[std::filesystem::relative(entry.path(), output).string()] =
                std::string(bytes.begin(), bytes.end());
        }
        return outcome;
    }
};

TEST(StoreAwareOption, IsBitOneOfTheOptionsWordAndChangesNothingElse) {
    for (const uint32_t word : {0x0u, 0x1u, 0x2u, 0x3u, 0x50002u, 0xFFFFFFFDu, 0xFFFFFFFFu}) {
        const RecoveryOptions options = UnpackOptions(word);
        const RecoveryOptions without = UnpackOptions(word & ~VARROW_OPTION_STORE_AWARE);
        EXPECT_EQ(options.storeAware, (word & 2u) != 0) << word;
        EXPECT_EQ(options.useNewFolder, without.useNewFolder) << word;
        EXPECT_EQ(options.maxPerFolder, without.maxPerFolder) << word;
    }
}

// --- One intact store: both modes agree ------------------------------------

// A store of count messages of rotating kinds; some seeds add store records
// between messages, two interleaved messages, and deletions whose space
// later messages reuse.
builder::StoreBuilder VariedStore(uint64_t seed, int count) {
    builder::Random random(seed);
    builder::MessageFactory factory(random.Next());
    builder::StoreBuilder store(random.Next());
    const bool sent = random.Percent(30);
    for (int i = 0; i < count; ++i) {
        if (i == count / 2 && random.Percent(50)) {
            const std::string first = factory.Next(sent);
            store.AddInterleaved(first, factory.Next(sent));
            continue;
        }
        builder::MessageKinds kinds = factory.NextKinds(sent);
        if (random.Percent(30)) kinds.bodyLength = random.Between(10, 600);  // one or two blocks
        store.AddMessage(factory.Make(kinds));
        if (random.Percent(15)) store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
    }
    if (count > 4 && random.Percent(50)) {
        store.FreeMessage(random.Below(store.Messages().size()));
        store.FreeMessage(random.Below(store.Messages().size()));
        store.AddMessage(factory.Next(sent));
    }
    return store;
}

builder::NoiseKind NoiseOf(builder::Random& random) {
    const builder::NoiseKind kinds[] = {builder::NoiseKind::Random, builder::NoiseKind::Text,
                                        builder::NoiseKind::Zeros};
    return kinds[random.Below(3)];
}

TEST_F(StoreAwareRecovery, OneIntactStoreGivesTheSameFilesAndEventsInBothModes) {
    for (uint64_t seed = 1; seed <= 24; ++seed) {
        builder::Random random(seed * 7919);
        const int count = static_cast<int>(random.Between(1, 40));
        const builder::StoreBuilder store = VariedStore(seed, count);
        builder::ImageBuilder image(seed);
        image.AppendNoise(random.Between(0, 12) * kCluster, NoiseOf(random));
        // Half the stores start on a cluster boundary, the others anywhere.
        const uint64_t misalignment = seed % 2 ? 0 : random.Between(1, kCluster - 1);
        if (misalignment) image.AppendNoise(misalignment, NoiseOf(random));
        image.PlaceContiguous("store", store, image.Size());
        image.AppendNoise(random.Between(0, 3 * kCluster), NoiseOf(random));
        // A few seeds roll over into subfolders after a handful of messages.
        const uint32_t rollover =
            seed % 3 == 0 ? (static_cast<uint32_t>(random.Between(2, 9)) << 16) | VARROW_OPTION_NEW_FOLDER : 0;

        const Outcome classic = Recover(image.Bytes(), rollover);
        const Outcome storeAware = Recover(image.Bytes(), rollover | VARROW_OPTION_STORE_AWARE);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(count) + " messages");
        EXPECT_EQ(classic.result, storeAware.result);
        EXPECT_FALSE(classic.files.empty());
        ASSERT_EQ(Names(classic), Names(storeAware));
        for (const auto& [name, bytes] : classic.files) EXPECT_TRUE(bytes == storeAware.files.at(name)) << name;
        ASSERT_EQ(classic.events.size(), storeAware.events.size());
        for (size_t i = 0; i < classic.events.size(); ++i) {
            ASSERT_EQ(Describe(classic.events[i]), Describe(storeAware.events[i])) << "event " << i;
        }
    }
}

// --- Several stores: quality against the manifest --------------------------

struct Score {
    size_t real = 0;       // intact messages on the image
    size_t exact = 0;      // of them, written byte for byte
    size_t outputs = 0;    // files written
    size_t unmatched = 0;  // files equal to no message of the image
};

Score ScoreAgainst(const builder::Manifest& manifest, const Outcome& outcome) {
    std::map<std::string, size_t> written;
    for (const auto& [name, bytes] : outcome.files) ++written[bytes];
    std::map<std::string, bool> known;
    for (const builder::PlacedMessage& message : manifest.messages) known[message.text] = true;

    Score score;
    score.outputs = outcome.files.size();
    for (const builder::PlacedMessage& message : manifest.messages) {
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
    for (const auto& [name, bytes] : outcome.files) score.unmatched += known.count(bytes) == 0;
    return score;
}

struct QualityImage {
    std::vector<uint8_t> bytes;
    builder::Manifest manifest;
};

// The stores of one mailbox, 150 messages: Inbox, Sent Items, Deleted Items
// and an archive folder. Like real stores they hold other records (index
// nodes, folder records) between some messages, recordPercent of them, so
// their layouts agree only up to the first such record; with 0 all four lay
// their blocks out at the same offsets, which is the hardest case.
struct Mailbox {
    builder::StoreBuilder inbox;
    builder::StoreBuilder sent;
    builder::StoreBuilder deleted;
    builder::StoreBuilder archive;

    Mailbox(builder::Random& random, unsigned recordPercent)
        : inbox(random.Next()), sent(random.Next()), deleted(random.Next()), archive(random.Next()) {
        builder::MessageFactory factory(random.Next());
        const auto fill = [&](builder::StoreBuilder& store, int count, bool sentItems) {
            for (int i = 0; i < count; ++i) {
                store.AddMessage(factory.Next(sentItems));
                if (random.Percent(recordPercent)) {
                    store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
                }
            }
        };
        fill(inbox, 60, false);
        fill(sent, 40, true);
        fill(deleted, 30, false);
        fill(archive, 20, false);
    }
    std::vector<builder::NamedStore> Named() const {
        return {{"Inbox", &inbox}, {"Sent Items", &sent}, {"Deleted Items", &deleted}, {"Archive", &archive}};
    }
};

constexpr unsigned kStoreRecords = 10;

QualityImage Finished(const builder::ImageBuilder& image) { return {image.Bytes(), image.BuildManifest()}; }

QualityImage Contiguous(uint64_t seed, bool aligned) {
    builder::Random random(seed);
    const Mailbox mailbox(random, kStoreRecords);
    builder::ImageBuilder image(random.Next());
    image.AppendNoise(16 * kCluster, builder::NoiseKind::Zeros);
    for (const builder::NamedStore& store : mailbox.Named()) {
        image.AppendNoise(random.Between(1, 8) * kCluster, NoiseOf(random));
        if (!aligned) image.AppendNoise(random.Between(1, kCluster - 1), NoiseOf(random));
        image.PlaceContiguous(store.name, *store.store, image.Size());
        // The slack of its last cluster.
        if (image.Size() % kCluster) {
            image.AppendNoise(kCluster - image.Size() % kCluster, builder::NoiseKind::Zeros);
        }
    }
    image.AppendNoise(8 * kCluster, builder::NoiseKind::Text);
    return Finished(image);
}

QualityImage ContiguousAligned(uint64_t seed) { return Contiguous(seed, true); }
QualityImage ContiguousUnaligned(uint64_t seed) { return Contiguous(seed, false); }

QualityImage InOrderWithGaps(uint64_t seed) {
    builder::Random random(seed);
    const Mailbox mailbox(random, kStoreRecords);
    builder::ImageBuilder image(random.Next());
    image.AppendNoise(16 * kCluster, builder::NoiseKind::Zeros);
    for (const builder::NamedStore& store : mailbox.Named()) {
        image.AppendWithGaps(store.name, *store.store, kCluster, 25, 3);
        image.AppendNoise(random.Between(1, 8) * kCluster, NoiseOf(random));
    }
    return Finished(image);
}

// All four stores' clusters among other files' clusters, each store's in
// order or all shuffled.
QualityImage Mixed(uint64_t seed, builder::ClusterOrder order, unsigned recordPercent) {
    builder::Random random(seed);
    const Mailbox mailbox(random, recordPercent);
    builder::ImageBuilder image(random.Next());
    image.AppendNoise(16 * kCluster, builder::NoiseKind::Zeros);
    image.AppendMixed(mailbox.Named(), kCluster, 96, order);
    image.AppendNoise(8 * kCluster, builder::NoiseKind::Text);
    return Finished(image);
}

QualityImage Interleaved(uint64_t seed) {
    return Mixed(seed, builder::ClusterOrder::Interleaved, kStoreRecords);
}
QualityImage Shuffled(uint64_t seed) { return Mixed(seed, builder::ClusterOrder::Shuffled, kStoreRecords); }
QualityImage ShuffledIdenticalLayouts(uint64_t seed) { return Mixed(seed, builder::ClusterOrder::Shuffled, 0); }

// An Inbox beside the older copy that its compaction left behind: the copy
// holds deleted messages and reused space, lies shuffled among Sent Items'
// clusters and has lost a few clusters to other files.
QualityImage BesideDamagedOlderCopy(uint64_t seed) {
    builder::Random random(seed);
    builder::MessageFactory factory(random.Next());
    builder::StoreBuilder older(random.Next());
    for (int i = 0; i < 70; ++i) {
        older.AddMessage(factory.Next());
        if (random.Percent(kStoreRecords)) {
            older.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
        }
    }
    for (int i = 0; i < 10; ++i) older.FreeMessage(random.Below(older.Messages().size()));
    for (int i = 0; i < 5; ++i) older.AddMessage(factory.Next());
    builder::StoreBuilder inbox = older.Compacted(random.Next());
    for (int i = 0; i < 15; ++i) inbox.AddMessage(factory.Next());
    builder::StoreBuilder sent(random.Next());
    for (int i = 0; i < 30; ++i) {
        sent.AddMessage(factory.Next(true));
        if (random.Percent(kStoreRecords)) sent.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
    }

    builder::ImageBuilder image(random.Next());
    image.AppendNoise(16 * kCluster, builder::NoiseKind::Zeros);
    image.AppendWithGaps("Inbox", inbox, kCluster, 20, 3);
    image.AppendNoise(8 * kCluster, builder::NoiseKind::Text);
    const std::vector<size_t> mixed =
        image.AppendMixed({{"Sent Items", &sent}, {"Inbox (older copy)", &older}}, kCluster, 64,
                          builder::ClusterOrder::Shuffled);
    image.DamageClusters(mixed[1], 4, builder::NoiseKind::Text);
    image.AppendNoise(8 * kCluster, builder::NoiseKind::Random);
    return Finished(image);
}

QualityImage Sample(uint64_t seed) {
    ostrel::sample::SampleImage sample = ostrel::sample::BuildSampleImage(seed);
    return {std::move(sample.bytes), std::move(sample.manifest)};
}

// What the store-aware linking found on an image: the cluster size and the
// number of cut headers it rebuilt.
struct LinkingFacts {
    uint32_t clusterSize = 0;
    size_t repairs = 0;
};

LinkingFacts Link(const std::string& path) {
    RecoverySession session(nullptr, nullptr);
    CFile64Ex source;
    if (!source.Open(path, CFile64::modeRead | CFile64::typeBinary, nullptr)) return {};
    StoreAwareLinker linker;
    ScanBlocks(session, source, linker.Collector());
    linker.ValidateHeads(session, source);
    return {linker.ClusterSize(), linker.RepairCount()};
}

struct Layout {
    const char* name;
    std::function<QualityImage(uint64_t)> build;
    bool fragmented;  // in clusters: the cluster size must be found
    // What store-aware recovery reaches on every seed, with margin: the
    // share of real messages written byte for byte, and outputs that match
    // no message per 100 real messages.
    double minExactShare;
    double maxUnmatchedPer100;
};

// On disks whose stores collide, store-aware recovery writes more messages
// byte for byte than the classic linking, and stays above a floor for each
// layout. Prints the figures of both modes.
TEST_F(StoreAwareRecovery, WritesMoreMessagesExactlyOnDisksWithCollidingStores) {
    // The floors lie below the lowest figures of seeds 1 to 8, which were
    // (exact share, unmatched per 100): contiguous 1.0 and 0 either way, in
    // order with gaps .94 and 4.7, interleaved .84 and 14, shuffled .69 and
    // 28, beside the older copy .77 and 19, identical layouts .27 and 61,
    // sample .83 and 14.
    const std::vector<Layout> layouts = {
        {"contiguous, aligned", ContiguousAligned, false, 0.98, 1},
        {"contiguous, unaligned", ContiguousUnaligned, false, 0.98, 1},
        {"in order with gaps", InOrderWithGaps, true, 0.9, 8},
        {"interleaved in order", Interleaved, true, 0.8, 20},
        {"shuffled", Shuffled, true, 0.62, 35},
        {"beside damaged older copy", BesideDamagedOlderCopy, true, 0.7, 25},
        {"shuffled, identical layouts", ShuffledIdenticalLayouts, true, 0.2, 75},
        {"sample image", Sample, true, 0.78, 18},
    };
    std::printf("%-28s %4s | %-24s | %-24s | %5s %7s\n", "layout", "seed", "classic: exact unmatched",
                "store-aware: exact unm.", "C", "repairs");
    for (const Layout& layout : layouts) {
        for (const uint64_t seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(std::string(layout.name) + ", seed " + std::to_string(seed));
            const QualityImage image = layout.build(seed);
            const Score classic = ScoreAgainst(image.manifest, Recover(image.bytes, 0));
            const Score aware = ScoreAgainst(image.manifest, Recover(image.bytes, VARROW_OPTION_STORE_AWARE));
            const LinkingFacts facts = Link(scratch / "image.bin");
            std::printf("%-28s %4llu | %4zu/%-4zu %4zu of %4zu | %4zu/%-4zu %4zu of %4zu | %5u %7zu\n",
                        layout.name, static_cast<unsigned long long>(seed), classic.exact, classic.real,
                        classic.unmatched, classic.outputs, aware.exact, aware.real, aware.unmatched,
                        aware.outputs, facts.clusterSize, facts.repairs);
            EXPECT_GE(aware.exact, classic.exact);
            EXPECT_GE(static_cast<double>(aware.exact), layout.minExactShare * static_cast<double>(aware.real));
            EXPECT_LE(static_cast<double>(aware.unmatched),
                      layout.maxUnmatchedPer100 * static_cast<double>(aware.real) / 100);
            if (layout.fragmented) {
                EXPECT_EQ(facts.clusterSize, kCluster);
            }
        }
    }
}

}  // namespace
}  // namespace varrow
