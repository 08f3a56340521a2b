// The chain index: its walking order decides the numbers of messages.
#include "link/block_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace varrow {
namespace {

std::vector<uint64_t> Positions(const PositionList& list) { return {list.begin(), list.end()}; }

constexpr uint32_t kBuckets = 14983;
constexpr uint32_t kWrap = 16 * kBuckets;  // adding this keeps the bucket

TEST(BlockIndexWalk, VisitsBucketsInOrderAndNewestEntryOfABucketFirst) {
    BlockIndex index;
    index.Reset(kBuckets);
    index.FindOrCreate(80);               // bucket 5
    index.FindOrCreate(32);               // bucket 2
    index.FindOrCreate(80 + kWrap);       // bucket 5, newer
    index.FindOrCreate(95);               // bucket 5 (95 / 16 == 5), newest
    index.FindOrCreate(kWrap - 16);       // the last bucket
    index.FindOrCreate(15);               // bucket 0
    EXPECT_EQ(index.OffsetsInWalkingOrder(),
              (std::vector<uint32_t>{15, 32, 95, 80 + kWrap, 80, kWrap - 16}));
    EXPECT_EQ(index.EntryCount(), 6u);
    EXPECT_EQ(index.BucketCount(), kBuckets);
}

TEST(BlockIndexWalk, RemovalKeepsTheOrderOfTheRestAndReinsertionGoesToTheFront) {
    BlockIndex index;
    index.Reset(kBuckets);
    for (uint32_t offset : {80u, 80 + kWrap, 80 + 2 * kWrap}) index.FindOrCreate(offset).push_back(offset);
    index.Remove(80 + kWrap);
    EXPECT_EQ(index.OffsetsInWalkingOrder(), (std::vector<uint32_t>{80 + 2 * kWrap, 80}));
    EXPECT_EQ(index.Find(80 + kWrap), nullptr);
    index.Remove(12345);  // absent: nothing happens
    index.FindOrCreate(80 + kWrap);
    EXPECT_EQ(index.OffsetsInWalkingOrder(),
              (std::vector<uint32_t>{80 + kWrap, 80 + 2 * kWrap, 80}));
    EXPECT_TRUE(index.Find(80 + kWrap)->empty());  // a new entry starts empty
    EXPECT_EQ(Positions(*index.Find(80)), std::vector<uint64_t>{80});
}

// The walk visits buckets by (offset / 16) mod the bucket count, for any
// offset and any count: the order stable sorting by that key would give,
// newest first within a bucket.
TEST(BlockIndexWalk, BucketsFollowTheOffsetModuloTheCountForEveryOffset) {
    std::vector<uint32_t> offsets = {0, 15, 16, 0xFFFFFFFFu, 0xFFFFFFF0u, 0x80000000u, 0x7FFFFFFFu};
    uint64_t state = 0x9E3779B97F4A7C15ull;
    while (offsets.size() < 3000) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        offsets.push_back(static_cast<uint32_t>(state >> 32));
    }
    for (uint32_t buckets : {1u, 2u, 3u, 7u, 14983u, 199999u, 65536u, 1000003u}) {
        BlockIndex index;
        index.Reset(buckets);
        for (uint32_t offset : offsets) index.FindOrCreate(offset);
        std::vector<uint32_t> expected(offsets.rbegin(), offsets.rend());  // newest first
        std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
            return (a / 16) % buckets < (b / 16) % buckets;
        });
        EXPECT_EQ(index.OffsetsInWalkingOrder(), expected) << buckets << " buckets";
    }
}

TEST(BlockIndexWalk, ResetEmptiesEverything) {
    BlockIndex index;
    index.Reset(7);
    index.FindOrCreate(1).push_back(9);
    index.Reset(199999);
    EXPECT_EQ(index.EntryCount(), 0u);
    EXPECT_EQ(index.Find(1), nullptr);
    EXPECT_TRUE(index.OffsetsInWalkingOrder().empty());
}

TEST(BlockIndexWalk, ManyEntriesSurviveGrowthAndReuse) {
    BlockIndex index;
    index.Reset(199999);
    for (uint32_t offset = 1; offset <= 100000; ++offset) index.FindOrCreate(offset * 16).push_back(offset);
    for (uint32_t offset = 1; offset <= 100000; offset += 2) index.Remove(offset * 16);
    for (uint32_t offset = 200001; offset <= 250000; ++offset) index.FindOrCreate(offset * 16).push_back(offset);
    EXPECT_EQ(index.EntryCount(), 100000u);
    for (uint32_t offset = 2; offset <= 100000; offset += 2) {
        ASSERT_NE(index.Find(offset * 16), nullptr);
        EXPECT_EQ((*index.Find(offset * 16))[0], offset);
    }
    EXPECT_EQ(index.Find(3 * 16), nullptr);
    EXPECT_EQ(index.OffsetsInWalkingOrder().size(), 100000u);
}

TEST(PositionLists, GrowAppendAndEraseInOrder) {
    PositionList list;
    EXPECT_TRUE(list.empty());
    list.push_back(10);
    EXPECT_EQ(Positions(list), std::vector<uint64_t>{10});
    for (uint64_t p = 11; p < 20; ++p) list.push_back(p);
    EXPECT_EQ(list.size(), 10u);
    list.erase(0);
    list.erase(4);
    list.erase(100);  // past the end: nothing
    EXPECT_EQ(Positions(list), (std::vector<uint64_t>{11, 12, 13, 14, 16, 17, 18, 19}));

    PositionList other;
    other.push_back(1);
    other.Append(list);
    EXPECT_EQ(other.size(), 9u);
    EXPECT_EQ(other[0], 1u);
    EXPECT_EQ(other[8], 19u);

    PositionList moved(std::move(other));
    EXPECT_EQ(moved.size(), 9u);
    EXPECT_TRUE(other.empty());
    moved.clear();
    EXPECT_TRUE(moved.empty());
    moved.push_back(5);
    EXPECT_EQ(Positions(moved), std::vector<uint64_t>{5});
}

}  // namespace
}  // namespace varrow
