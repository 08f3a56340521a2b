// Disk layouts: every cluster of a file lands exactly once where the
// manifest says, and the manifest knows which blocks later writes destroyed.
#include "image_builder/image_builder.h"

#include <gtest/gtest.h>

#include <sstream>
#include <set>

#include "chain_reader.h"
#include "image_builder/block.h"
#include "image_builder/message_factory.h"

namespace ostrel::builder {
namespace {

using testing::FollowChain;
using testing::GatherFile;

constexpr uint32_t C = 4096;

StoreBuilder MakeStore(uint64_t seed, int messages) {
    MessageFactory factory(seed);
    StoreBuilder store(seed + 100);
    for (int i = 0; i < messages; ++i) store.AddMessage(factory.Next());
    return store;
}

// Each piece is one cluster of the file, in file order, copied byte for byte.
void ExpectWholeClusters(const std::vector<uint8_t>& image, const PlacedFile& file, const StoreBuilder& store) {
    ASSERT_EQ(file.size, store.Bytes().size());
    ASSERT_EQ(file.pieces.size(), (file.size + C - 1) / C);
    for (size_t i = 0; i < file.pieces.size(); ++i) {
        EXPECT_EQ(file.pieces[i].fileOffset, i * C);
        EXPECT_EQ(file.pieces[i].length, std::min<uint64_t>(C, file.size - i * C));
        EXPECT_EQ(file.pieces[i].position % C, 0u) << "cluster " << i;
    }
    EXPECT_EQ(GatherFile(image, file), store.Bytes());
}

TEST(ContiguousPlacement, PutsTheStoreAtAnyPositionWithItsBlocksInPlace) {
    const StoreBuilder store = MakeStore(1, 12);
    ImageBuilder image(2);
    image.AppendNoise(12345, NoiseKind::Text);
    const size_t file = image.PlaceContiguous("Inbox", store, 12345 + 3);  // not aligned to anything
    image.AppendNoise(1000, NoiseKind::Random);
    const Manifest manifest = image.BuildManifest();

    ASSERT_EQ(manifest.files.size(), 1u);
    EXPECT_EQ(manifest.files[file].name, "Inbox");
    ASSERT_EQ(manifest.files[file].pieces.size(), 1u);
    EXPECT_TRUE(std::equal(store.Bytes().begin(), store.Bytes().end(), image.Bytes().begin() + 12348));
    EXPECT_EQ(image.Size(), 12348 + store.Bytes().size() + 1000);
    ASSERT_EQ(manifest.messages.size(), 12u);
    for (const PlacedMessage& message : manifest.messages) {
        EXPECT_TRUE(message.Intact());
        std::string text;
        for (const PlacedBlock& block : message.blocks) {
            EXPECT_EQ(block.position, 12348u + block.offset);
            EXPECT_TRUE(block.contiguous);
            EXPECT_EQ(DecodeHeader(&image.Bytes()[block.position]),
                      (BlockFields{block.offset, 512, block.dataLength, block.nextOffset}));
            text.append(image.Bytes().begin() + block.position + 16,
                        image.Bytes().begin() + block.position + 16 + block.dataLength);
        }
        EXPECT_EQ(text, message.text);
    }
}

TEST(FragmentedPlacement, InOrderWithGapsKeepsEveryClusterOnceAndInOrder) {
    const StoreBuilder store = MakeStore(3, 30);
    ImageBuilder image(4);
    image.AppendNoise(1000, NoiseKind::Zeros);  // the store must still start on a cluster
    const size_t file = image.AppendWithGaps("Inbox", store, C, 100, 2);
    const Manifest manifest = image.BuildManifest();
    const PlacedFile& placed = manifest.files[file];
    ExpectWholeClusters(image.Bytes(), placed, store);
    EXPECT_EQ(placed.pieces.front().position, C);
    for (size_t i = 1; i < placed.pieces.size(); ++i) {
        const uint64_t gap = placed.pieces[i].position - placed.pieces[i - 1].position;
        EXPECT_TRUE(gap == 2 * C || gap == 3 * C) << "a gap of one or two clusters after every cluster";
    }

    // Some blocks now straddle a gap: their headers are where the manifest says.
    size_t straddling = 0;
    for (const PlacedMessage& message : manifest.messages) {
        EXPECT_TRUE(message.Intact());
        EXPECT_EQ(FollowChain(GatherFile(image.Bytes(), placed), message.HeadOffset()), message.text);
        for (const PlacedBlock& block : message.blocks) {
            const uint64_t cluster = block.offset / C;
            EXPECT_EQ(block.position, placed.pieces[cluster].position + block.offset % C);
            EXPECT_EQ(block.contiguous, (block.offset + 16 + block.dataLength - 1) / C == cluster);
            if (!block.contiguous) ++straddling;
        }
    }
    EXPECT_GT(straddling, 10u);

    ImageBuilder ungapped(4);
    const size_t whole = ungapped.AppendWithGaps("Inbox", store, C, 0, 2);
    EXPECT_EQ(ungapped.BuildManifest().files[whole].pieces.back().position, (placed.pieces.size() - 1) * C);
}

TEST(FragmentedPlacement, MixedClustersLandOnceEachInTheirStatedOrder) {
    const StoreBuilder a = MakeStore(5, 25);
    const StoreBuilder b = MakeStore(6, 25);
    for (ClusterOrder order : {ClusterOrder::Interleaved, ClusterOrder::Shuffled}) {
        SCOPED_TRACE(order == ClusterOrder::Shuffled ? "shuffled" : "interleaved");
        ImageBuilder image(7);
        image.AppendNoise(3 * C, NoiseKind::Random);
        const std::vector<size_t> files = image.AppendMixed({{"A", &a}, {"B", &b}}, C, 40, order);
        const Manifest manifest = image.BuildManifest();
        ASSERT_EQ(files.size(), 2u);
        std::set<uint64_t> slots;
        size_t clusters = 0;
        for (size_t f = 0; f < 2; ++f) {
            const PlacedFile& placed = manifest.files[files[f]];
            ExpectWholeClusters(image.Bytes(), placed, f == 0 ? a : b);
            bool ascending = true;
            for (size_t i = 0; i < placed.pieces.size(); ++i) {
                slots.insert(placed.pieces[i].position);
                if (i > 0 && placed.pieces[i].position < placed.pieces[i - 1].position) ascending = false;
            }
            clusters += placed.pieces.size();
            EXPECT_EQ(ascending, order == ClusterOrder::Interleaved);
        }
        EXPECT_EQ(slots.size(), clusters) << "no two clusters share a slot";
        EXPECT_GE(*slots.begin(), 3u * C);
        EXPECT_EQ(image.Size(), 3 * C + (clusters + 40) * C);
        for (const PlacedMessage& message : manifest.messages) {
            EXPECT_TRUE(message.Intact());
            EXPECT_EQ(FollowChain(GatherFile(image.Bytes(), manifest.files[message.file]), message.HeadOffset()),
                      message.text);
        }
    }
}

TEST(FragmentedPlacement, ExplicitPositionsNeedOnePerCluster) {
    const StoreBuilder store = MakeStore(8, 2);
    ImageBuilder image(9);
    const uint64_t clusters = (store.Bytes().size() + C - 1) / C;
    std::vector<uint64_t> positions;
    for (uint64_t i = 0; i < clusters; ++i) positions.push_back((clusters - 1 - i) * C);  // backwards
    const size_t file = image.PlaceClusters("Backwards", store, C, positions);
    EXPECT_EQ(GatherFile(image.Bytes(), image.BuildManifest().files[file]), store.Bytes());
    positions.pop_back();
    EXPECT_THROW(image.PlaceClusters("Short", store, C, positions), std::invalid_argument);
}

TEST(Damage, OverwrittenBytesMakeTheirBlocksLostAndNothingElse) {
    const StoreBuilder store = MakeStore(10, 40);
    ImageBuilder image(11);
    const size_t file = image.PlaceContiguous("Inbox", store, 0);
    const size_t cluster = 40;
    image.DamageCluster(file, cluster, NoiseKind::Random);
    EXPECT_THROW(image.DamageCluster(file, 100000, NoiseKind::Random), std::out_of_range);
    const Manifest manifest = image.BuildManifest();
    size_t lostBlocks = 0;
    for (const PlacedMessage& message : manifest.messages) {
        for (const PlacedBlock& block : message.blocks) {
            const bool touched = block.offset < (cluster + 1) * C && block.offset + 16 + block.dataLength > cluster * C;
            EXPECT_EQ(block.intact, !touched) << std::hex << block.offset;
            if (touched) ++lostBlocks;
        }
    }
    EXPECT_GE(lostBlocks, 7u);

    // Any later write counts, also another file placed over the store.
    const StoreBuilder other = MakeStore(12, 1);
    ImageBuilder overlaid(13);
    const size_t under = overlaid.PlaceContiguous("Old", store, 0);
    overlaid.PlaceContiguous("New", other, 0xead4 + 0x210);
    overlaid.AddNoise(0xead4, 4, NoiseKind::Zeros);
    const Manifest after = overlaid.BuildManifest();
    const PlacedMessage& first = after.messages[0];
    ASSERT_EQ(first.file, under);
    EXPECT_FALSE(first.blocks[0].intact) << "its header was zeroed";
    EXPECT_FALSE(first.blocks[1].intact) << "the new file lies over it";
    EXPECT_TRUE(after.messages.back().Intact()) << "the new file's message";
}

TEST(Damage, AMessageOverwrittenInsideItsStoreIsNotIntactOnTheImage) {
    MessageFactory factory(21);
    StoreBuilder store(22);
    const size_t old = store.AddMessage(factory.Next());
    const size_t freedOnly = store.AddMessage(factory.Next());
    store.FreeMessage(old);
    store.AddMessage(std::string(100, 'n'));  // takes the old head's slot
    store.FreeMessage(freedOnly);
    ImageBuilder image(23);
    image.PlaceContiguous("Inbox", store, 0);
    const Manifest manifest = image.BuildManifest();
    EXPECT_FALSE(manifest.messages[old].blocks[0].intact);
    EXPECT_TRUE(manifest.messages[old].blocks[1].intact) << "its tail is still there";
    EXPECT_FALSE(manifest.messages[old].Broken()) << "lost at the head, not broken";
    EXPECT_TRUE(manifest.messages[freedOnly].Intact());
    EXPECT_TRUE(manifest.messages[freedOnly].deleted);
}

TEST(Damage, BreakChainLosesAMiddleClusterButKeepsHeadAndTail) {
    MessageFactory factory(14);
    StoreBuilder store(15);
    const size_t small = store.AddMessage(factory.Make({SubjectKind::Plain, BodyKind::Plain, false, 1000}));
    const size_t large = store.AddMessage(factory.Make({SubjectKind::Plain, BodyKind::Plain, false, 20000}));
    ImageBuilder image(16);
    const size_t file = image.AppendWithGaps("Inbox", store, C, 50, 1);
    const std::vector<uint8_t> before = image.Bytes();
    EXPECT_FALSE(image.BreakChain(file, small, NoiseKind::Random).has_value());
    EXPECT_EQ(image.Bytes(), before) << "a refused break changes nothing";

    const std::optional<size_t> cluster = image.BreakChain(file, large, NoiseKind::Random);
    ASSERT_TRUE(cluster.has_value());
    const Manifest manifest = image.BuildManifest();
    const PlacedMessage& broken = manifest.messages[large];
    EXPECT_TRUE(broken.Broken());
    EXPECT_TRUE(broken.blocks.front().intact);
    EXPECT_TRUE(broken.blocks.back().intact);
    EXPECT_FALSE(broken.blocks[broken.blocks.size() / 2].intact);
    EXPECT_EQ(broken.blocks[broken.blocks.size() / 2].offset / C, *cluster);
    EXPECT_TRUE(manifest.messages[small].Intact());
    EXPECT_FALSE(FollowChain(GatherFile(image.Bytes(), manifest.files[file]), broken.HeadOffset()).has_value());

    const std::vector<size_t> damaged = image.DamageClusters(file, 3, NoiseKind::Text);
    EXPECT_EQ(damaged.size(), 3u);
    EXPECT_TRUE(std::is_sorted(damaged.begin(), damaged.end()));
    EXPECT_GE(damaged.front(), kFirstBlockOffset / C) << "only the message area";
}

TEST(ImageDeterminism, SameSeedAndStepsGiveTheSameImageAndManifest) {
    const StoreBuilder a = MakeStore(17, 15);
    const StoreBuilder b = MakeStore(18, 15);
    auto build = [&](uint64_t seed) {
        ImageBuilder image(seed);
        image.AppendNoise(5000, NoiseKind::Text);
        image.AppendWithGaps("A", a, C, 30, 3);
        image.AppendMixed({{"A old", &a}, {"B", &b}}, C, 20, ClusterOrder::Shuffled);
        image.DamageClusters(1, 2, NoiseKind::Random);
        std::ostringstream manifest;
        WriteManifest(image.BuildManifest(), manifest);
        return std::make_pair(image.Bytes(), manifest.str());
    };
    const auto first = build(19);
    EXPECT_EQ(build(19), first);
    EXPECT_NE(build(20).first, first.first);
}

}  // namespace
}  // namespace ostrel::builder
