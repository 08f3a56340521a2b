// Store files: every message must be readable back through its own chain
// of selfOffset and nextOffset, wherever its blocks were put.
#include "image_builder/store_builder.h"

#include <gtest/gtest.h>

#include "chain_reader.h"
#include "image_builder/block.h"
#include "image_builder/message_factory.h"

namespace ostrel::builder {
namespace {

using testing::FollowChain;

std::string Text(size_t length, char fill) {
    std::string text(length, fill);
    text[0] = ':';  // a position mark, so blocks cannot be swapped unnoticed
    for (size_t i = 512; i < length; i += 512) text[i] = static_cast<char>('A' + i / 512 % 26);
    return text;
}

void ExpectEveryChainReadsBack(const StoreBuilder& store) {
    for (const StoredMessage& message : store.Messages()) {
        if (!message.Intact()) continue;
        EXPECT_EQ(FollowChain(store.Bytes(), message.HeadOffset()), message.text)
            << "head 0x" << std::hex << message.HeadOffset();
    }
}

TEST(StoreLayout, MessagesStartAtTheFirstBlockOffsetAndFollowEachOther) {
    StoreBuilder store(1);
    ASSERT_EQ(store.Bytes().size(), kFirstBlockOffset) << "the header area alone";
    store.AddMessage(Text(1300, 'a'));  // 3 blocks
    store.AddMessage(Text(512, 'b'));   // exactly one
    store.AddMessage(Text(513, 'c'));   // one byte into a second
    const auto& messages = store.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].HeadOffset(), 0xead4u);
    EXPECT_EQ(messages[1].HeadOffset(), 0xead4u + 3 * 0x210);
    EXPECT_EQ(messages[2].HeadOffset(), 0xead4u + 4 * 0x210);
    EXPECT_EQ(store.Bytes().size(), 0xead4u + 6 * 0x210);

    std::vector<uint32_t> lengths;
    for (const StoredBlock& block : messages[0].blocks) lengths.push_back(block.dataLength);
    EXPECT_EQ(lengths, (std::vector<uint32_t>{512, 512, 276}));
    EXPECT_EQ(messages[1].blocks.size(), 1u);
    EXPECT_EQ(messages[2].blocks.back().dataLength, 1u);
    EXPECT_EQ(messages[0].blocks[0].nextOffset, messages[0].blocks[1].offset);
    EXPECT_EQ(messages[0].blocks[2].nextOffset, 0u);

    const BlockFields head = DecodeHeader(&store.Bytes()[0xead4]);
    EXPECT_EQ(head, (BlockFields{0xead4, 512, 512, 0xead4 + 0x210}));
    ExpectEveryChainReadsBack(store);
    EXPECT_THROW(store.AddMessage(""), std::invalid_argument);
}

TEST(StoreLayout, NoiseRecordsMoveTheNextMessageOnAndRealTextsReadBack) {
    MessageFactory factory(3);
    StoreBuilder store(2);
    for (int i = 0; i < 50; ++i) {
        store.AddMessage(factory.Next(i % 5 == 0));
        if (i % 7 == 3) {
            const size_t before = store.Bytes().size();
            store.AddNoiseRecord(37 + i);
            EXPECT_EQ(store.Bytes().size(), before + 37 + i);
        }
    }
    const auto& messages = store.Messages();
    EXPECT_EQ(messages[4].HeadOffset(), messages[3].blocks.back().offset + 0x210 + 37 + 3);
    ExpectEveryChainReadsBack(store);
}

TEST(StoreLayout, InterleavedMessagesAlternateTheirBlocks) {
    StoreBuilder store(3);
    const auto [first, second] = store.AddInterleaved(Text(1500, 'f'), Text(600, 's'));
    const auto& messages = store.Messages();
    auto offsets = [&](size_t m) {
        std::vector<uint32_t> out;
        for (const StoredBlock& block : messages[m].blocks) out.push_back(block.offset);
        return out;
    };
    constexpr uint32_t S = 0x210;
    EXPECT_EQ(offsets(first), (std::vector<uint32_t>{0xead4, 0xead4 + 2 * S, 0xead4 + 4 * S}));
    EXPECT_EQ(offsets(second), (std::vector<uint32_t>{0xead4 + S, 0xead4 + 3 * S}));
    ExpectEveryChainReadsBack(store);
}

TEST(StoreLayout, FreedSlotsAreReusedLowestFirstAndTheOldMessageMarked) {
    StoreBuilder store(4);
    store.AddMessage(Text(1500, 'a'));                    // slots 0..2
    const size_t doomed = store.AddMessage(Text(1100, 'b'));  // slots 3..5
    store.AddMessage(Text(100, 'c'));                     // slot 6
    const size_t alsoFreed = store.AddMessage(Text(300, 'd'));  // slot 7
    store.FreeMessage(doomed);
    store.FreeMessage(alsoFreed);
    const size_t reuser = store.AddMessage(Text(2000, 'e'));  // 4 blocks: slots 3, 4, 5, 7
    constexpr uint32_t S = 0x210;
    const auto& messages = store.Messages();
    std::vector<uint32_t> offsets;
    for (const StoredBlock& block : messages[reuser].blocks) offsets.push_back(block.offset);
    EXPECT_EQ(offsets, (std::vector<uint32_t>{0xead4 + 3 * S, 0xead4 + 4 * S, 0xead4 + 5 * S, 0xead4 + 7 * S}));
    EXPECT_EQ(store.Bytes().size(), 0xead4u + 8 * S) << "nothing new at the end";

    EXPECT_TRUE(messages[doomed].deleted);
    EXPECT_FALSE(messages[doomed].Intact());
    EXPECT_FALSE(messages[alsoFreed].Intact());
    EXPECT_TRUE(messages[reuser].Intact());
    EXPECT_EQ(FollowChain(store.Bytes(), messages[reuser].HeadOffset()), messages[reuser].text);

    // A freed message nobody overwrote is still on disk, whole.
    const size_t kept = store.AddMessage(Text(200, 'k'));
    store.FreeMessage(kept);
    EXPECT_TRUE(store.Messages()[kept].Intact());
    EXPECT_EQ(FollowChain(store.Bytes(), store.Messages()[kept].HeadOffset()), store.Messages()[kept].text);
}

TEST(StoreLayout, CompactionKeepsLiveMessagesInOrderFromTheFirstOffset) {
    MessageFactory factory(5);
    StoreBuilder store(6);
    for (int i = 0; i < 10; ++i) store.AddMessage(factory.Next());
    store.AddNoiseRecord(100);
    store.AddMessage(factory.Next());
    store.FreeMessage(2);
    store.FreeMessage(7);
    const StoreBuilder compacted = store.Compacted(7);

    std::vector<std::string> live;
    for (const StoredMessage& message : store.Messages()) {
        if (!message.deleted) live.push_back(message.text);
    }
    ASSERT_EQ(compacted.Messages().size(), live.size());
    uint32_t expectedHead = kFirstBlockOffset;
    for (size_t i = 0; i < live.size(); ++i) {
        const StoredMessage& message = compacted.Messages()[i];
        EXPECT_EQ(message.text, live[i]);
        EXPECT_EQ(message.HeadOffset(), expectedHead);
        expectedHead += static_cast<uint32_t>(message.blocks.size()) * kBlockSpan;
    }
    EXPECT_EQ(compacted.Messages()[0].HeadOffset(), store.Messages()[0].HeadOffset()) << "offsets collide";
    ExpectEveryChainReadsBack(compacted);
}

}  // namespace
}  // namespace ostrel::builder
