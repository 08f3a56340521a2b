// Block bytes: the header layout every test image depends on.
#include "image_builder/block.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace ostrel::builder {
namespace {

TEST(BlockLayout, HeaderFieldsAreLittleEndianInTheirOrder) {
    const auto bytes = HeaderBytes({0x0000ead4, 512, 0x1ff, 0x12345678});
    const std::array<uint8_t, 16> expected = {0xd4, 0xea, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00,
                                              0xff, 0x01, 0x00, 0x00, 0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(DecodeHeader(expected.data()), (BlockFields{0xead4, 512, 0x1ff, 0x12345678}));
}

TEST(BlockLayout, BlockBytesHoldTheHeaderThenZeroPaddedData) {
    const BlockFields fields{0x10000, 512, 5, 0};
    const std::vector<uint8_t> bytes = BlockBytes(fields, "Hello");
    ASSERT_EQ(bytes.size(), 0x210u);
    EXPECT_EQ(DecodeHeader(bytes.data()), fields);
    EXPECT_EQ(std::string(bytes.begin() + 16, bytes.begin() + 21), "Hello");
    EXPECT_TRUE(std::all_of(bytes.begin() + 21, bytes.end(), [](uint8_t b) { return b == 0; }));

    // Headers the engine must reject are written as given, not corrected.
    const BlockFields bad{0, 513, 0, 7};
    EXPECT_EQ(DecodeHeader(BlockBytes(bad, "").data()), bad);
    EXPECT_EQ(BlockBytes(fields, std::string(512, 'x')).size(), 0x210u);
    EXPECT_THROW(BlockBytes(fields, std::string(513, 'x')), std::invalid_argument);
}

TEST(BlockLayout, WriteBlockGrowsTheImageAndKeepsWhatIsAround) {
    std::vector<uint8_t> image(100, 0xaa);
    WriteBlock(image, 37, {0xead4, 512, 3, 0xece4}, "a:b");
    ASSERT_EQ(image.size(), 37u + 0x210u);
    EXPECT_EQ(DecodeHeader(&image[37]), (BlockFields{0xead4, 512, 3, 0xece4}));
    EXPECT_EQ(std::string(image.begin() + 53, image.begin() + 56), "a:b");
    EXPECT_EQ(image[36], 0xaa);

    // A second block in the middle of a larger image changes only its own bytes.
    std::vector<uint8_t> large(4096, 0x55);
    WriteBlock(large, 1000, {0xece4, 512, 1, 0}, "z");
    EXPECT_EQ(large.size(), 4096u);
    EXPECT_EQ(large[999], 0x55);
    EXPECT_EQ(large[1000 + 0x210 - 1], 0);
    EXPECT_EQ(large[1000 + 0x210], 0x55);
}

}  // namespace
}  // namespace ostrel::builder
