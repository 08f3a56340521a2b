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
