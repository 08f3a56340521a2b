// The cluster size read from where the pieces of the stores change.
#include "link/store_aware/cluster_size.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/store_aware/block_records.h"

namespace varrow {
namespace {

constexpr uint32_t kSpan = 0x210;

// Pieces of stores laid one after the other from volumeStart on: piece i
// holds store offsets [from_i, from_i + length_i) at the next free slot of
// slot bytes (the file system's cluster), with blocks every 0x210 bytes
// of the store file from 0xead4 on.
struct Piece {
    uint64_t from;
    uint64_t length;
};

BlockRecords Laid(uint64_t volumeStart, uint32_t slot, const std::vector<Piece>& pieces) {
    BlockRecords blocks;
    uint64_t position = volumeStart;
    for (const Piece& piece : pieces) {
        for (uint64_t offset = 0xead4; offset + 16 <= piece.from + piece.length; offset += kSpan) {
            if (offset < piece.from) continue;
            blocks.Accept({static_cast<uint32_t>(offset), 512, 100, 0},
                          position + (offset - piece.from));
        }
        position += (piece.length + slot - 1) / slot * slot + slot;  // and a cluster of other data
    }
    blocks.Finish();
    return blocks;
}

// count whole stores of 0x30000 bytes each, one after the other with
// distance bytes from base to base.
BlockRecords WholeStores(int count, uint64_t distance) {
    BlockRecords blocks;
    for (int i = 0; i < count; ++i) {
        for (uint64_t offset = 0xead4; offset + 16 <= 0x30000; offset += kSpan) {
            blocks.Accept({static_cast<uint32_t>(offset), 512, 100, 0},
                          0x100000 + i * distance + offset);
        }
    }
    blocks.Finish();
    return blocks;
}

// Clusters 15, 16, ... of a store file, each its own piece of `clusters` clusters.
std::vector<Piece> Fragments(uint32_t cluster, int count, int clusters = 1) {
    std::vector<Piece> pieces;
    for (int i = 0; i < count; ++i) {
        pieces.push_back(
            {uint64_t{cluster} * (15 + uint64_t(i) * clusters), uint64_t{cluster} * clusters});
    }
    return pieces;
}

TEST(ClusterSize, IsTheLargestSizeThatTheChangesOfPieceAgreeWith) {
    struct Case {
        const char* what;
        BlockRecords blocks;
        uint32_t expected;
    };
    std::vector<Case> cases;
    cases.push_back({"no block", BlockRecords(), 4096});
    cases.push_back({"one contiguous store", Laid(0, 4096, {{0, 0x40000}}), 4096});
    cases.push_back({"two changes only", Laid(0, 8192, Fragments(8192, 3)), 4096});
    cases.push_back({"4 KiB fragments", Laid(0, 4096, Fragments(4096, 12)), 4096});
    cases.push_back({"8 KiB fragments", Laid(0, 8192, Fragments(8192, 12)), 8192});
    cases.push_back(
        {"16 KiB fragments of two clusters", Laid(0, 16384, Fragments(16384, 8, 2)), 16384});
    cases.push_back({"4 KiB fragments on a volume at sector 63",
                     Laid(63 * 512, 4096, Fragments(4096, 12)), 4096});
    cases.push_back(
        {"32 KiB fragments at sector 63", Laid(63 * 512, 32768, Fragments(32768, 6)), 32768});
    cases.push_back({"2 KiB fragments", Laid(2048, 2048, Fragments(2048, 20)), 2048});
    // Whole files far apart agree with every size where they change; the
    // distances between them tell.
    cases.push_back({"whole stores 0x51000 apart", WholeStores(5, 0x51000), 4096});
    cases.push_back({"whole stores 0x58000 apart", WholeStores(5, 0x58000), 32768});
    cases.push_back({"whole stores 0x50800 apart", WholeStores(5, 0x50800), 2048});
    cases.push_back({"whole stores 0x50400 apart", WholeStores(5, 0x50400), 1024});
    // Every distance is whole sectors: that shows no grid.
    cases.push_back({"whole stores 0x50200 apart", WholeStores(5, 0x50200), 4096});
    cases.push_back({"whole stores placed anywhere", WholeStores(5, 0x51234), 4096});
    for (const Case& c : cases) EXPECT_EQ(InferClusterSize(c.blocks), c.expected) << c.what;
}

// File clusters 15 to 26 of a 4 KiB volume's store, each on its own and
// far from the others, every block naming the next one on the grid. Where
// each cluster lies makes every distance between bases a multiple of
// 8 KiB, and pieces far apart agree with any size where they change; the
// blocks that name the next cluster's first block, which their piece does
// not hold, show 4 KiB.
TEST(ClusterSize, WherePiecesSplitTheStoresBlocksTellsAgainstTwiceTheSize) {
    BlockRecords blocks;
    for (uint64_t k = 15; k <= 26; ++k) {
        const uint64_t position = 0x100000 + (k - 15) * 0x40000 + (k % 2 == 1 ? 0x1000 : 0);
        for (uint64_t offset = 0xead4; offset < (k + 1) * 4096; offset += kSpan) {
            if (offset < k * 4096) continue;
            blocks.Accept(
                {static_cast<uint32_t>(offset), 512, 512, static_cast<uint32_t>(offset + kSpan)},
                position + (offset - k * 4096));
        }
    }
    blocks.Finish();
    EXPECT_EQ(InferClusterSize(blocks), 4096u);
}

// A store's file cluster 16 ends with the block at 0x10ff4, whose header
// runs 4 bytes into the next cluster on disk, which is another store's
// cluster 0x32 (its first block 0x204 into it); the scan accepted the
// header with those bytes. That cluster begins after the first one's end
// all the same, as do the other pieces, 4 KiB clusters from sector 63 on.
TEST(ClusterSize, AHeaderThatRunsIntoTheNextPieceOnDiskTellsNothingAgainstTheSize) {
    BlockRecords blocks;
    const auto place = [&](uint64_t cluster, uint64_t position, bool cut) {
        const uint64_t from = cluster * 4096;
        for (uint64_t offset = 0xead4; offset + 16 <= from + 4096 + (cut ? 15 : 0);
             offset += kSpan) {
            if (offset >= from)
                blocks.Accept({static_cast<uint32_t>(offset), 512, 100, 0},
                              position + (offset - from));
        }
    };
    const uint64_t start = 63 * 512 + 0x40000;
    place(15, start, false);
    place(16, start + 0x1000, true);
    place(0x32, start + 0x2000, false);
    place(17, start + 0x4000, false);
    place(0x33, start + 0x6000, false);
    place(18, start + 0x8000, false);
    blocks.Finish();
    EXPECT_EQ(InferClusterSize(blocks), 4096u);
}

}  // namespace
}  // namespace varrow
