// The records of the scanned blocks and the lookups by piece and offset.
#include "link/store_aware/block_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace varrow {
namespace {

std::vector<uint64_t> Positions(const BlockRecords& blocks, std::span<const uint32_t> found) {
    std::vector<uint64_t> positions;
    for (const uint32_t block : found) positions.push_back(blocks[block].position);
    return positions;
}

// Two pieces with the same offsets (bases 0x10000 and 0x50000), a piece
// whose base lies before the source start, and a block met out of order.
BlockRecords TwoStores() {
    BlockRecords blocks;
    blocks.Accept({0x1000, 512, 512, 0x1210}, 0x11000);
    blocks.Accept({0x1210, 512, 100, 0}, 0x11210);
    blocks.Accept({0x1000, 512, 512, 0x1210}, 0x51000);
    blocks.Accept({0x9000, 512, 10, 0x1210}, 0x2000);  // base -0x7000
    blocks.Accept({0x1210, 512, 100, 0}, 0x51210);
    blocks.Finish();
    return blocks;
}

TEST(BlockRecords, FindsABlockByItsPieceAndOffset) {
    const BlockRecords blocks = TwoStores();
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[blocks.At(0x50000, 0x1210)].position, 0x51210u);
    EXPECT_EQ(blocks[blocks.At(-0x7000, 0x9000)].position, 0x2000u);
    EXPECT_EQ(blocks[0].Base(), -0x7000);
    // A block at that position with another offset is not the one.
    EXPECT_EQ(blocks.At(0x10000 + 0x210, 0x1000), BlockRecords::kNoBlock);
    EXPECT_EQ(blocks.At(0x30000, 0x1000), BlockRecords::kNoBlock);
    EXPECT_EQ(blocks.AtPosition(0x11001), BlockRecords::kNoBlock);
}

TEST(BlockRecords, ListsTheBlocksOfAnOffsetInAscendingPosition) {
    const BlockRecords blocks = TwoStores();
    EXPECT_EQ(Positions(blocks, blocks.WithOffset(0x1210)),
              (std::vector<uint64_t>{0x11210, 0x51210}));
    EXPECT_TRUE(blocks.WithOffset(0x2000).empty());
}

TEST(BlockRecords, ListsTheBlocksThatNameAnOffsetAndFindsTheFirstFromAPosition) {
    const BlockRecords blocks = TwoStores();
    EXPECT_EQ(Positions(blocks, blocks.Naming(0x1210)),
              (std::vector<uint64_t>{0x2000, 0x11000, 0x51000}));
    EXPECT_TRUE(blocks.Naming(0x1000).empty());
    EXPECT_EQ(blocks[blocks.FirstFrom(0x11001)].position, 0x11210u);
    EXPECT_EQ(blocks[blocks.FirstFrom(0x11000)].position, 0x11000u);
    EXPECT_EQ(blocks.FirstFrom(0), 0u);
    EXPECT_EQ(blocks.FirstFrom(0x51211), blocks.size());
}

TEST(BlockRecords, FindsFromANearBlockWhatItFindsFromTheStart) {
    BlockRecords blocks;
    for (uint32_t i = 0; i < 300; ++i)
        blocks.Accept({0x1000 + 0x10 * i, 512, 1, 0}, 0x1000 + 37ull * i * i);
    blocks.Finish();
    for (uint64_t position = 0; position < 0x1000 + 37ull * 300 * 300; position += 1013) {
        for (const uint32_t near : {0u, 1u, 150u, 298u, 299u, BlockRecords::kNoBlock}) {
            ASSERT_EQ(blocks.FirstFromNear(position, near), blocks.FirstFrom(position))
                << position << " " << near;
        }
    }
    // Block 5 lies at 0x1000 + 37 * 25 with offset 0x1050.
    EXPECT_EQ(blocks.At(37 * 25 - 0x50, 0x1050, 290), 5u);
    EXPECT_EQ(blocks.At(37 * 25 - 0x51, 0x1051, 3), BlockRecords::kNoBlock);
}

}  // namespace
}  // namespace varrow
