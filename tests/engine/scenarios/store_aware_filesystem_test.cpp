// Store-aware recovery of stores that real file system code laid out
// (image_builder/filesystem_volumes.h): every real message whole, no
// unflagged wrong output, never fewer than the classic linking.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "image_builder/filesystem_volumes.h"
#include "linked_chains.h"
#include "scratch.h"

namespace varrow {
namespace {

namespace builder = ostrel::builder;
using testing::ScratchFolder;

// The chains as outputs: (text, flagged incomplete).
std::vector<std::pair<std::string, bool>> Outputs(const std::vector<testing::LinkedChain>& chains) {
    std::vector<std::pair<std::string, bool>> outputs;
    for (const testing::LinkedChain& chain : chains)
        outputs.emplace_back(chain.text, chain.Incomplete());
    return outputs;
}

class StoresOnFileSystems : public ::testing::Test {
protected:
    ScratchFolder scratch;

    void Expect(const builder::FileSystemVolume& volume, const std::string& what) {
        const builder::VolumeQuality classic =
            builder::JudgeVolume(volume, Outputs(testing::LinkChains(volume.image, false)));
        const builder::VolumeQuality aware =
            builder::JudgeVolume(volume, Outputs(testing::LinkChains(volume.image, true)));
        std::printf(
            "%-34s classic %3zu/%zu exact, %zu wrong; store-aware %3zu/%zu exact, %zu wrong\n",
            what.c_str(), classic.exact, volume.real.size(), classic.wrong, aware.exact,
            volume.real.size(), aware.wrong);
        EXPECT_EQ(aware.exact, volume.real.size()) << what;
        EXPECT_EQ(aware.wrong, 0u) << what;
        EXPECT_GE(aware.exact, classic.exact) << what;
    }
};

TEST_F(StoresOnFileSystems, FatVolumeAtSector63WithFragmentedStoresAndAnOverwrittenOlderVersion) {
    if (!builder::HaveFatTools()) GTEST_SKIP() << "mtools is not installed";
    // In seed 38 another store's cluster lies in line after a store's end,
    // where compaction had freed it.
    for (const uint64_t seed : {1u, 2u, 3u, 38u}) {
        const std::string folder = scratch / ("fat" + std::to_string(seed));
        std::filesystem::create_directories(folder);
        const std::optional<builder::FileSystemVolume> volume =
            builder::MakeFatVolume(seed, folder);
        ASSERT_TRUE(volume.has_value()) << seed;
        Expect(*volume, "FAT16, seed " + std::to_string(seed));
    }
}

// Volumes of other cluster sizes, each seed one that store-aware mode
// once lost messages on: the cluster size read wrong (2 KiB read as 4 KiB,
// 4 KiB as 8 KiB), a cluster without a block taken for damage where it held
// the rest of a message (1 KiB), a piece beginning a cluster after that one
// (1 KiB), quoted-printable HTML across a boundary and copies of one store
// ending alike (16 KiB).
TEST_F(StoresOnFileSystems, FatVolumesOfOtherClusterSizes) {
    if (!builder::HaveFatTools()) GTEST_SKIP() << "mtools is not installed";
    struct Case {
        unsigned clusterSectors;
        uint64_t seed;
        bool fat32;
    };
    const Case cases[] = {{1, 1, true},   {2, 9, false},   {2, 70, false}, {4, 1, false},
                          {8, 97, false}, {32, 28, false}, {32, 41, false}};
    for (const Case& c : cases) {
        const std::string what = std::string(c.fat32 ? "FAT32" : "FAT16") + ", " +
                                 std::to_string(c.clusterSectors * 512) + "-byte clusters, seed " +
                                 std::to_string(c.seed);
        const std::string folder =
            scratch / ("fat-" + std::to_string(c.clusterSectors) + "-" + std::to_string(c.seed));
        std::filesystem::create_directories(folder);
        const std::optional<builder::FileSystemVolume> volume =
            builder::MakeFatVolume(c.seed, folder, c.clusterSectors, c.fat32);
        ASSERT_TRUE(volume.has_value()) << what;
        Expect(*volume, what);
    }
}

TEST_F(StoresOnFileSystems, Ext4VolumeMadeFromAFolder) {
    if (!builder::HaveExt4Tools()) GTEST_SKIP() << "e2fsprogs is not installed";
    for (const uint64_t seed : {1u, 2u}) {
        const std::string folder = scratch / ("ext4-" + std::to_string(seed));
        std::filesystem::create_directories(folder);
        const std::optional<builder::FileSystemVolume> volume =
            builder::MakeExt4Volume(seed, folder);
        ASSERT_TRUE(volume.has_value()) << seed;
        Expect(*volume, "ext4, seed " + std::to_string(seed));
    }
}

}  // namespace
}  // namespace varrow
