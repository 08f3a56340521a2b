// Images built to make the engine slow: headers packed every 16 bytes, one
// offset at a quarter of a million positions, many messages that share a successor with
// many copies, a chain that circles through thousands of offsets, thousands
// of messages with one subject. Each must come out exactly as the linking
// and naming rules say, in a few seconds; the full-size variants are run by
// the stress program (tools/fuzz.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "event_recorder.h"
#include "image_builder/block.h"
#include "image_builder/random.h"
#include "link/block_index.h"
#include "output/outfolders.h"
#include "recovery_folders.h"
#include "scratch.h"
#include "sim_os.h"

namespace varrow {
namespace {

namespace fs = std::filesystem;
using ostrel::builder::BlockFields;
using ostrel::builder::HeaderBytes;
using testing::EventRecorder;
using testing::ListFolder;
using testing::ReadWholeFile;
using testing::RunRecovery;
using testing::ScratchFolder;
using testing::Text;

constexpr char kImagePath[] = "/pathological/image";

// A block whose data is text, written over whatever lies there, the image
// grown to hold its whole data area.
void PutBlock(std::vector<uint8_t>& image, uint64_t position, uint32_t self, uint32_t next,
              const std::string& text) {
    if (image.size() < position + 528) image.resize(position + 528, 0);
    const auto header = HeaderBytes(BlockFields{self, 512, static_cast<uint32_t>(text.size()), next});
    std::copy(header.begin(), header.end(), image.begin() + static_cast<ptrdiff_t>(position));
    std::copy(text.begin(), text.end(), image.begin() + static_cast<ptrdiff_t>(position + 16));
}

std::string Numbered(const char* pattern, unsigned number) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, number);
    return text;
}

// The image lives in a simulated device; the output goes to a scratch folder.
class Pathological : public testing::RecoveryFolders {
protected:
    testing::SimOs sim;
    platform::ScopedOs scoped{sim};
    std::vector<uint8_t> image;
    testing::SimDevice* device = nullptr;  // the image, once Recover made it

    void TearDown() override {
        tmpdir.reset();
        EXPECT_TRUE(ListFolder(temp).empty());
    }

    int32_t Recover(EventRecorder& recorder, uint32_t options = 0) {
        device = &sim.AddDevice(kImagePath);
        device->bytes = image;
        device->sectorSize = 4096;
        device->blockDevice = true;
        return RunRecovery(kImagePath, output, options, &recorder);
    }

    static void ExpectCleanEnd(const EventRecorder& recorder) {
        EXPECT_TRUE(recorder.Texts(EV_ERROR).empty());
        const auto progress = recorder.Numbers(EV_PROGRESS);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(progress.back(), 100);
    }
};

TEST_F(Pathological, AHeaderEvery16BytesOver4MegabytesAsHeadsWithoutAColonWritesNothing) {
    constexpr uint32_t kHeads = 1u << 18;
    image.assign(uint64_t{kHeads} * 16 + 512, 0);
    for (uint32_t i = 0; i < kHeads; ++i) {
        // Each data byte is the low byte of the next header's offset: never ':'.
        const auto header = HeaderBytes(BlockFields{16 * (i + 1), 512, 1, 0});
        std::copy(header.begin(), header.end(), image.begin() + 16 * static_cast<ptrdiff_t>(i));
    }
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 0);
    EXPECT_TRUE(ListFolder(output).empty());
    ExpectCleanEnd(recorder);
}

TEST_F(Pathological, OneOffsetAtAQuarterMillionPositionsKeepsOnlyItsCopiesWithAColon) {
    constexpr uint32_t kCopies = 1u << 18;
    constexpr uint32_t kOffset = 0x4440;  // the data byte of each packed copy: 0x40, '@'
    image.assign(uint64_t{kCopies} * 16 + 512, 0);
    for (uint32_t i = 0; i < kCopies; ++i) {
        const auto header = HeaderBytes(BlockFields{kOffset, 512, 1, 0});
        std::copy(header.begin(), header.end(), image.begin() + 16 * static_cast<ptrdiff_t>(i));
    }
    // Three real copies among them.
    for (uint64_t at : {uint64_t{4096}, uint64_t{kCopies} * 8, uint64_t{kCopies} * 16 - 4096}) {
        PutBlock(image, at, kOffset, 0, "Subject: copy\r\n");
    }
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{"copy(1).eml", "copy(2).eml", "copy.eml"}));
    EXPECT_EQ(recorder.Texts(EV_REPORT_CELL),
              (std::vector<std::string>{"Message No.", "Subject", "1", "copy", "1", "copy", "1", "copy"}));
    ExpectCleanEnd(recorder);
}

TEST_F(Pathological, HundredsOfHeadsSharingASuccessorWithHundredsOfCopiesEachChooseByTheRules) {
    // Head i at 128 i with copy i of the successor 48 bytes after it, so
    // that copy i is the nearest. Heads of even i end in "Content-Ty": of the
    // two far copies that go on with "pe:" and complete the name, the first
    // wins.
    constexpr unsigned kHeads = 500;
    constexpr uint32_t kShared = 0x10;
    const uint64_t farCopy = 128 * kHeads + 100000;
    for (unsigned i = 0; i < kHeads; ++i) {
        const std::string tail = i % 2 == 0 ? "Content-Ty" : "abc";
        PutBlock(image, 128 * i, 0x100000 + 16 * i, kShared, Numbered("Subject: h%04u\r\n", i) + tail);
        PutBlock(image, 128 * i + 48, kShared, 0, Numbered("copy %04u", i));
    }
    PutBlock(image, farCopy, kShared, 0, "pe: text/plain");
    PutBlock(image, farCopy + 5000, kShared, 0, "pe: the later copy");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    ASSERT_EQ(ListFolder(output).size(), kHeads);
    for (unsigned i = 0; i < kHeads; ++i) {
        const std::string head = Numbered("Subject: h%04u\r\n", i);
        const std::string expected =
            i % 2 == 0 ? head + "Content-Type: text/plain" : head + "abc" + Numbered("copy %04u", i);
        ASSERT_EQ(Output(Numbered("h%04u.eml", i)), expected) << i;
    }
    ExpectCleanEnd(recorder);
}

TEST_F(Pathological, StoreByStoreHeadsSharingASuccessorWithManyCopiesReadEachCopyOnlyOnce) {
    // Head i and copy i of the successor in a sector of their own, each in
    // a piece of its own: every head chooses among all copies, and copy i
    // is the nearest.
    constexpr unsigned kHeads = 300;
    constexpr uint32_t kShared = 0x10;
    for (unsigned i = 0; i < kHeads; ++i) {
        PutBlock(image, 8192 * i, 0x100000 + 16 * i, kShared, Numbered("Subject: h%04u\r\nabc", i));
        PutBlock(image, 8192 * i + 2048, kShared, 0, Numbered("copy %04u", i));
    }
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder, VARROW_OPTION_STORE_AWARE), 1);
    ASSERT_EQ(ListFolder(output).size(), kHeads);
    for (unsigned i = 0; i < kHeads; ++i) {
        const std::string expected = Numbered("Subject: h%04u\r\nabc", i) + Numbered("copy %04u", i);
        ASSERT_EQ(Output(Numbered("h%04u.eml", i)), expected) << i;
    }
    ExpectCleanEnd(recorder);
    // A few reads per message, not one per copy and message.
    EXPECT_LT(device->reads, 20 * kHeads);
}

TEST_F(Pathological, OfTheCandidatesThatCompleteANameTheFirstWinsWhateverItsCase) {
    PutBlock(image, 10000, 0x100, 0x200, "Subject: pick\r\nContent-");
    PutBlock(image, 1000, 0x200, 0, "TYPE: first in the list");
    PutBlock(image, 9000, 0x200, 0, "xyz: the nearest");
    PutBlock(image, 50000, 0x200, 0, "Id: another name");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("pick.eml"), "Subject: pick\r\nContent-TYPE: first in the list");
}

TEST_F(Pathological, AChainThatCirclesThroughThousandsOfOffsetsWithManyCopiesEndsAfterOneRound) {
    constexpr unsigned kOffsets = 2000;
    constexpr unsigned kCopies = 20;
    PutBlock(image, 0, 0x10, 0x1000, "Subject: circle\r\n");
    std::string expected = "Subject: circle\r\n";
    ostrel::builder::Random random(5);
    std::vector<uint64_t> slots(kOffsets * kCopies);
    for (size_t i = 0; i < slots.size(); ++i) slots[i] = 1024 + 64 * i;
    random.Shuffle(slots);
    for (unsigned k = 0; k < kOffsets; ++k) {
        const uint32_t self = 0x1000 + 16 * k;
        const uint32_t next = k + 1 < kOffsets ? self + 16 : 0x1000;  // the last one leads back
        const std::string text = Numbered("[c%04u]", k);
        for (unsigned copy = 0; copy < kCopies; ++copy) PutBlock(image, slots[k * kCopies + copy], self, next, text);
        expected += text;
    }
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("circle.eml"), expected);
    ExpectCleanEnd(recorder);
}

TEST_F(Pathological, HundredsOfMessagesWithOneSubjectAreNumberedInTurnAroundATakenName) {
    constexpr unsigned kMessages = 200;
    scratch.WriteFile("out/same(5).eml", "taken");
    for (unsigned i = 0; i < kMessages; ++i) PutBlock(image, 64 * i, 0x10000 + 16 * i, 0, "Subject: same\r\n");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    std::vector<std::string> expected{"same.eml"};
    for (unsigned k = 1; k <= kMessages; ++k) expected.push_back(Numbered("same(%u).eml", k));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(output), expected);
    EXPECT_EQ(Output("same(5).eml"), "taken");
    ExpectCleanEnd(recorder);
}

// The index against a plain model of its rules, with many offsets in few
// buckets and removals between insertions.
TEST(PathologicalIndex, ManyOffsetsInFewBucketsKeepTheWalkingOrderThroughRemovals) {
    constexpr uint32_t kBuckets = 7;
    BlockIndex index;
    index.Reset(kBuckets);
    std::map<uint32_t, std::list<uint32_t>> model;  // bucket -> offsets, newest first
    ostrel::builder::Random random(9);
    for (int step = 0; step < 50000; ++step) {
        const uint32_t offset = static_cast<uint32_t>(random.Below(125)) * 16 + static_cast<uint32_t>(random.Below(16));
        std::list<uint32_t>& bucket = model[(offset / 16) % kBuckets];
        const bool present = std::find(bucket.begin(), bucket.end(), offset) != bucket.end();
        ASSERT_EQ(index.Find(offset) != nullptr, present) << step;
        if (random.Percent(40)) {
            index.Remove(offset);
            bucket.remove(offset);
        } else {
            index.FindOrCreate(offset).push_back(static_cast<uint64_t>(step));
            if (!present) bucket.push_front(offset);
        }
    }
    std::vector<uint32_t> walk;
    for (const auto& [bucket, offsets] : model) walk.insert(walk.end(), offsets.begin(), offsets.end());
    EXPECT_EQ(index.OffsetsInWalkingOrder(), walk);
    EXPECT_EQ(index.EntryCount(), walk.size());
}

}  // namespace
}  // namespace varrow
