// Store-aware recovery end to end: on one intact store it writes what the
// classic linking writes, file for file and event for event; on disks with
// several colliding stores it writes more messages byte-exact and fewer
// outputs that match no real message.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "event_recorder.h"
#include "image_builder/colliding_stores.h"
#include "image_builder/image_builder.h"
#include "image_builder/message_factory.h"
#include "image_builder/store_builder.h"
#include "image_builder/store_layouts.h"
#include "link/store_aware/store_aware_linking.h"
#include "linked_chains.h"
#include "output/outfolders.h"
#include "sample/sample_image.h"
#include "scan/block_layout.h"
#include "scan/reference_scan.h"
#include "scratch.h"
#include "session.h"
#include "source/file64.h"

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
    std::optional<testing::ScopedTmpdir> tmpdir;

    void SetUp() override {
        std::filesystem::create_directory(scratch / "tmp");
        tmpdir.emplace((scratch / "tmp"));
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
            // By the path itself: its narrow form need not name the file
            // on Windows, where names are not UTF-8.
            std::ifstream in(entry.path(), std::ios::binary);
            outcome.files[std::filesystem::relative(entry.path(), output).string()] =
                std::string(std::istreambuf_iterator<char>(in), {});
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
        if (random.Percent(15))
            store.AddNoiseRecord(static_cast<uint32_t>(random.Between(16, 1600)));
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
            seed % 3 == 0
                ? (static_cast<uint32_t>(random.Between(2, 9)) << 16) | VARROW_OPTION_NEW_FOLDER
                : 0;

        const Outcome classic = Recover(image.Bytes(), rollover);
        const Outcome storeAware = Recover(image.Bytes(), rollover | VARROW_OPTION_STORE_AWARE);
        SCOPED_TRACE("seed " + std::to_string(seed) + ", " + std::to_string(count) + " messages");
        EXPECT_EQ(classic.result, storeAware.result);
        EXPECT_FALSE(classic.files.empty());
        ASSERT_EQ(Names(classic), Names(storeAware));
        for (const auto& [name, bytes] : classic.files)
            EXPECT_TRUE(bytes == storeAware.files.at(name)) << name;
        ASSERT_EQ(classic.events.size(), storeAware.events.size());
        for (size_t i = 0; i < classic.events.size(); ++i) {
            ASSERT_EQ(Describe(classic.events[i]), Describe(storeAware.events[i])) << "event " << i;
        }
    }
}

// More single intact stores: many thousands of single-block messages (some
// slots freed and reused), a store at the old 63-sector alignment, and the
// same store at 8 KiB clusters' alignment.
TEST_F(StoreAwareRecovery, OneIntactStoreOfManySingleBlockMessagesGivesTheSameMessagesInBothModes) {
    // The messages, their order (which numbers them) and their blocks, as
    // both linkers follow them; a whole recovery of so many files would
    // mostly measure the file system.
    for (const uint64_t seed : {1u, 2u}) {
        const builder::ScoredImage image = builder::ScatteredSingleBlocks(seed, 15500);
        const std::string path = scratch.WriteFile("image.bin", image.bytes);
        const std::vector<testing::LinkedChain> classic = testing::LinkChains(path, false);
        const std::vector<testing::LinkedChain> storeAware = testing::LinkChains(path, true);
        SCOPED_TRACE("seed " + std::to_string(seed));
        EXPECT_GT(classic.size(), 15000u);
        ASSERT_EQ(classic.size(), storeAware.size());
        for (size_t i = 0; i < classic.size(); ++i) {
            ASSERT_EQ(classic[i].headOffset, storeAware[i].headOffset) << i;
            ASSERT_TRUE(classic[i].text == storeAware[i].text) << i;
            ASSERT_EQ(classic[i].trace.blocks, storeAware[i].trace.blocks) << i;
            ASSERT_EQ(classic[i].trace.end, storeAware[i].trace.end) << i;
        }
    }
    // And one whole recovery, files and events.
    const builder::ScoredImage image = builder::ScatteredSingleBlocks(3, 600);
    const Outcome classic = Recover(image.bytes, 0);
    const Outcome storeAware = Recover(image.bytes, VARROW_OPTION_STORE_AWARE);
    ASSERT_EQ(Names(classic), Names(storeAware));
    for (const auto& [name, bytes] : classic.files)
        EXPECT_TRUE(bytes == storeAware.files.at(name)) << name;
    ASSERT_EQ(classic.events.size(), storeAware.events.size());
    for (size_t i = 0; i < classic.events.size(); ++i) {
        ASSERT_EQ(Describe(classic.events[i]), Describe(storeAware.events[i])) << "event " << i;
    }
}

TEST_F(StoreAwareRecovery, OneIntactStoreAtAnyAlignmentGivesTheSameFilesInBothModes) {
    for (const uint64_t at :
         {uint64_t{builder::kSector63}, uint64_t{8192} * 9, uint64_t{8192} * 9 + 1000}) {
        const builder::StoreBuilder store = VariedStore(at, 30);
        builder::ImageBuilder image(at);
        image.AppendNoise(at, builder::NoiseKind::Text);
        image.PlaceContiguous("store", store, image.Size());
        image.AppendNoise(5000, builder::NoiseKind::Random);
        const Outcome classic = Recover(image.Bytes(), 0);
        const Outcome storeAware = Recover(image.Bytes(), VARROW_OPTION_STORE_AWARE);
        SCOPED_TRACE("at " + std::to_string(at));
        EXPECT_FALSE(classic.files.empty());
        ASSERT_EQ(Names(classic), Names(storeAware));
        for (const auto& [name, bytes] : classic.files)
            EXPECT_TRUE(bytes == storeAware.files.at(name)) << name;
    }
}

// --- Several stores: quality against the manifest --------------------------

using builder::ClusterOrder;
using builder::ScoredImage;

ScoredImage ContiguousAligned(uint64_t seed) { return builder::ContiguousStores(seed, true); }
ScoredImage ContiguousUnaligned(uint64_t seed) { return builder::ContiguousStores(seed, false); }
ScoredImage InOrderWithGaps(uint64_t seed) { return builder::StoresWithGaps(seed); }
ScoredImage Interleaved(uint64_t seed) {
    return builder::MixedStores(seed, ClusterOrder::Interleaved);
}
ScoredImage Shuffled(uint64_t seed) { return builder::MixedStores(seed, ClusterOrder::Shuffled); }
ScoredImage ShuffledIdenticalLayouts(uint64_t seed) {
    return builder::MixedStores(seed, ClusterOrder::Shuffled, 0);
}
ScoredImage BesideDamagedOlderCopy(uint64_t seed) { return builder::BesideDamagedOlderCopy(seed); }
ScoredImage TwelveStores4K(uint64_t seed) { return builder::ManyStores(seed, 4096); }
ScoredImage TwelveStores8K(uint64_t seed) { return builder::ManyStores(seed, 8192); }
ScoredImage Versions(uint64_t seed) { return builder::StoreVersions(seed); }
ScoredImage TwoVolumes(uint64_t seed) { return builder::TwoVolumes(seed); }

ScoredImage Sample(uint64_t seed) {
    ostrel::sample::SampleImage sample = ostrel::sample::BuildSampleImage(seed);
    return {std::move(sample.bytes), std::move(sample.manifest)};
}

// What the store-aware linking found on an image: the cluster size and the
// number of links between pieces.
struct LinkingFacts {
    uint32_t clusterSize = 0;
    size_t links = 0;
};

LinkingFacts Link(const std::string& path) {
    RecoverySession session(nullptr, nullptr);
    CFile64Ex source;
    if (!source.Open(path, CFile64::modeRead | CFile64::typeBinary, nullptr)) return {};
    StoreAwareLinker linker;
    ScanBlocks(session, source, linker.Collector());
    linker.ValidateHeads(session, source);
    return {linker.Stores().ClusterSize(), linker.Stores().LinkCount()};
}

// Real intact messages written byte for byte, and outputs that are no real
// message without being flagged incomplete.
struct Quality {
    size_t real = 0;
    size_t exact = 0;
    size_t wrong = 0;
};

Quality Judge(const builder::Manifest& manifest, const std::vector<testing::LinkedChain>& chains) {
    std::map<std::string, size_t> written;
    for (const testing::LinkedChain& chain : chains) ++written[chain.text];
    std::set<std::string> known;
    for (const builder::PlacedMessage& message : manifest.messages) known.insert(message.text);
    Quality quality;
    for (const builder::PlacedMessage& message : manifest.messages) {
        if (!message.Intact()) continue;
        ++quality.real;
        const auto it = written.find(message.text);
        if (it != written.end() && it->second > 0) {
            --it->second;
            ++quality.exact;
        }
    }
    for (const testing::LinkedChain& chain : chains) {
        if (known.count(chain.text) == 0 && !chain.Incomplete()) ++quality.wrong;
    }
    return quality;
}

struct Layout {
    const char* name;
    std::function<ScoredImage(uint64_t)> build;
    uint32_t clusterSize;  // the size that must be found; 0 when the layout does not tell
    // What store-aware linking reaches on every seed, with margin: the
    // share of real messages written byte for byte, and unflagged wrong
    // outputs per 100 real messages.
    double minExactShare;
    double maxWrongPer100;
};

// On disks whose stores collide, store-aware linking writes more messages
// byte for byte than the classic linking, stays above a floor for each
// layout and writes few wrong outputs that are not flagged incomplete.
// Prints the figures of both modes.
TEST_F(StoreAwareRecovery, WritesMoreMessagesExactlyOnDisksWithCollidingStores) {
    // The floors lie below the lowest figures of seeds 1 to 3, which were
    // (exact share, unflagged wrong per 100): contiguous 1.0 and 0, in order
    // with gaps .99 and 0, interleaved .96 and 1.3, shuffled .85 and 0.7,
    // beside the older copy .85 and 1.7, identical layouts .45 and 8.7,
    // twelve stores 4K .86 and 2.2, 8K .9 and 2.5, versions .9 and 3.5,
    // two volumes .87 and 1.7, sample .92 and 1.2.
    const std::vector<Layout> layouts = {
        {"contiguous, aligned", ContiguousAligned, 0, 0.99, 0},
        {"contiguous, unaligned", ContiguousUnaligned, 0, 0.99, 0},
        {"in order with gaps", InOrderWithGaps, 4096, 0.97, 1},
        {"interleaved in order", Interleaved, 4096, 0.93, 3},
        {"shuffled", Shuffled, 4096, 0.8, 2},
        {"beside damaged older copy", BesideDamagedOlderCopy, 4096, 0.8, 3},
        {"shuffled, identical layouts", ShuffledIdenticalLayouts, 4096, 0.4, 12},
        {"twelve stores, 4 KiB", TwelveStores4K, 4096, 0.82, 4},
        {"twelve stores, 8 KiB", TwelveStores8K, 8192, 0.85, 4},
        {"versions at sector 63", Versions, 4096, 0.85, 5},
        {"two volumes", TwoVolumes, 0, 0.83, 3},
        {"sample image", Sample, 4096, 0.88, 3},
    };
    std::printf("%-28s %4s | %-18s | %-18s | %5s %5s\n", "layout", "seed", "classic: exact wrong",
                "store-aware", "C", "links");
    for (const Layout& layout : layouts) {
        for (const uint64_t seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(std::string(layout.name) + ", seed " + std::to_string(seed));
            const ScoredImage image = layout.build(seed);
            const std::string path = scratch.WriteFile("image.bin", image.bytes);
            const Quality classic = Judge(image.manifest, testing::LinkChains(path, false));
            const Quality aware = Judge(image.manifest, testing::LinkChains(path, true));
            const LinkingFacts facts = Link(path);
            std::printf("%-28s %4llu | %4zu/%-4zu %5zu | %4zu/%-4zu %5zu | %5u %5zu\n", layout.name,
                        static_cast<unsigned long long>(seed), classic.exact, classic.real,
                        classic.wrong, aware.exact, aware.real, aware.wrong, facts.clusterSize,
                        facts.links);
            EXPECT_GE(aware.exact, classic.exact);
            EXPECT_GE(static_cast<double>(aware.exact),
                      layout.minExactShare * static_cast<double>(aware.real));
            EXPECT_LE(static_cast<double>(aware.wrong),
                      layout.maxWrongPer100 * static_cast<double>(aware.real) / 100);
            if (layout.clusterSize != 0) {
                EXPECT_EQ(facts.clusterSize, layout.clusterSize);
            }
        }
    }
}

}  // namespace
}  // namespace varrow
