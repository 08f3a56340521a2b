#include "source/failed_sectors.h"

#include <gtest/gtest.h>


namespace varrow {
namespace {

TEST(FailedSectors, MergesTouchingAndOverlappingRangesAndCountsEachByteOnce) {
    FailedSectors failed;
    failed.Add(4096, 512);
    failed.Add(1024, 512);
    failed.Add(4096, 512);  // the same sector read again
    EXPECT_EQ(failed.Bytes(), 1024u);
    failed.Add(1536, 512);  // touches the range before it
    failed.Add(512, 4096);  // swallows both
    EXPECT_EQ(failed.Bytes(), 4096u);  // [512, 4608)
    EXPECT_TRUE(failed.Overlaps(512, 1));
    EXPECT_TRUE(failed.Overlaps(4607, 1));
    EXPECT_FALSE(failed.Overlaps(4608, 100));
    EXPECT_FALSE(failed.Overlaps(0, 512));
    EXPECT_TRUE(failed.Overlaps(0, 513));
}

TEST(FailedSectors, OverlapsOnlyWhereASectorFailed) {
    FailedSectors failed;
    EXPECT_FALSE(failed.Overlaps(0, UINT32_MAX));
    failed.Add(10 * 512, 512);
    failed.Add(20 * 512, 512);
    EXPECT_FALSE(failed.Overlaps(11 * 512, 9 * 512));
    EXPECT_TRUE(failed.Overlaps(11 * 512, 9 * 512 + 1));
    EXPECT_TRUE(failed.Overlaps(0, 10 * 512 + 1));
    EXPECT_FALSE(failed.Overlaps(10 * 512 + 100, 0));
}

}  // namespace
}  // namespace varrow
