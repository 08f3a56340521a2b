// Messages rebuilt end to end through the engine's entry point.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "environment.h"
#include "event_recorder.h"
#include "image_builder/block.h"
#include "output/outfolders.h"
#include "recovery_folders.h"
#include "scratch.h"

namespace varrow {
namespace {

using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;
using testing::EventRecorder;
using testing::ListFolder;
using testing::ReadWholeFile;
using testing::RunRecovery;
using testing::ScratchFolder;
using testing::Text;

// The image goes to the scratch folder as a file.
class Extraction : public testing::RecoveryFolders {
protected:
    std::vector<uint8_t> image;

    // A one-block message at position.
    void Message(uint64_t position, uint32_t offset, const std::string& text, uint32_t next = 0) {
        WriteBlock(image, position, BlockFields{offset, 512, static_cast<uint32_t>(text.size()), next}, text);
    }
    int32_t Recover(EventRecorder& recorder, uint32_t options = 0) {
        const std::string source = scratch.WriteFile("image.bin", image);
        return RunRecovery(source, output, options, &recorder);
    }
};

TEST_F(Extraction, AThreeBlockChainBecomesOneFileOfAllItsData) {
    const std::string a = "Subject: three blocks\r\n" + std::string(512 - 23, 'a');
    const std::string b(512, 'b');
    const std::string c(100, 'c');
    Message(1000, 0x10000, a, 0x20000);
    Message(5000, 0x20000, b, 0x30000);
    Message(9000, 0x30000, c);
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    ASSERT_EQ(ListFolder(output), std::vector<std::string>{"three blocks.eml"});
    EXPECT_EQ(Output("three blocks.eml"), a + b + c);
    EXPECT_EQ(recorder.Texts(EV_LOG),
              (std::vector<std::string>{"Start processing message (No.1) ...",
                                        "Collect detailed information ...",
                                        "Message subject: three blocks", "Message size: 1124",
                                        "Finish processing message (No.1).", "-"}));
    EXPECT_EQ(recorder.Texts(EV_REPORT_CELL),
              (std::vector<std::string>{"Message No.", "Subject", "1", "three blocks"}));
    EXPECT_TRUE(ListFolder(temp).empty());  // the temporary file is gone
}

TEST_F(Extraction, EventsOfARunComeInOrder) {
    Message(0, 0x100, "Subject: one\r\n\r\nbody");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    std::vector<int32_t> codes = recorder.Codes();
    codes.erase(std::remove(codes.begin(), codes.end(), EV_QUERY_ABORT), codes.end());
    EXPECT_EQ(codes, (std::vector<int32_t>{EV_PROGRESS, EV_SOURCE, EV_REPORT_COLUMNS, EV_REPORT_CELL,
                                           EV_REPORT_CELL, EV_LOG, EV_LOG, EV_LOG, EV_LOG, EV_LOG,
                                           EV_LOG, EV_REPORT_CELL, EV_REPORT_CELL, EV_PROGRESS,
                                           EV_PROGRESS}));
    EXPECT_EQ(recorder.Numbers(EV_PROGRESS), (std::vector<int64_t>{0, 100, 100}));
    // Pass 2 asks before validating and before writing each head.
    EXPECT_EQ(recorder.Count(EV_QUERY_ABORT), 2);
}

TEST_F(Extraction, AHeadWithoutAColonIsDroppedAndTakesNoNumber) {
    Message(0, 0x100, "no colon in this one");
    Message(2000, 0x200, "Subject: kept");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(ListFolder(output), std::vector<std::string>{"kept.eml"});
    EXPECT_EQ(recorder.Texts(EV_REPORT_CELL), (std::vector<std::string>{"Message No.", "Subject", "1", "kept"}));
}

TEST_F(Extraction, OnlyColonlessHeadsMeanNoOutputAndResultZero) {
    Message(0, 0x100, "nothing here");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 0);
    EXPECT_TRUE(ListFolder(output).empty());
}

TEST_F(Extraction, TwoCopiesOfAMessageShareTheirNumberAndOneProgressEvent) {
    Message(0, 0x100, "Subject: twice\r\n");
    Message(4096, 0x100, "Subject: twice\r\n");
    Message(9000, 0x300, "Subject: other\r\n");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{"other.eml", "twice(1).eml", "twice.eml"}));
    const auto cells = recorder.Texts(EV_REPORT_CELL);
    ASSERT_EQ(cells.size(), 8u);
    // 0x100 and 0x300 lie in buckets 16 and 48: 0x100 comes first.
    EXPECT_EQ(std::vector<std::string>(cells.begin() + 2, cells.end()),
              (std::vector<std::string>{"1", "twice", "1", "twice", "2", "other"}));
    EXPECT_EQ(recorder.Numbers(EV_PROGRESS), (std::vector<int64_t>{0, 75, 100, 100}));
}

TEST_F(Extraction, AChainThatLoopsBackEndsAfterTheBlockThatNamesAWrittenOffset) {
    Message(0, 0x100, "Subject: loop\r\n", 0x200);
    Message(1000, 0x200, "second ", 0x300);
    Message(2000, 0x300, "third", 0x200);
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("loop.eml"), "Subject: loop\r\nsecond third");
}

TEST_F(Extraction, AChainWhoseNextBlockIsMissingKeepsWhatWasFound) {
    Message(0, 0x100, "Subject: cut short\r\n", 0x200);
    Message(1000, 0x200, "part two", 0x999);
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("cut short.eml"), "Subject: cut short\r\npart two");
    EXPECT_EQ(recorder.Count(EV_ERROR), 0);
}

TEST_F(Extraction, ACandidateThatCompletesAHeaderNameWinsOverANearerOne) {
    const std::string head = "Subject: pick\r\nContent-Ty";
    Message(0, 0x100, head, 0x200);
    Message(600, 0x200, "xyz: nearer");
    Message(90000, 0x200, "pe: text/plain\r\n");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("pick.eml"), head + "pe: text/plain\r\n");
}

TEST_F(Extraction, OfTwoEquallyNearCandidatesTheLowerPositionWins) {
    Message(4000, 0x100, "Subject: tie\r\n", 0x200);
    Message(1000, 0x200, "before");
    Message(7000, 0x200, "after!");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("tie.eml"), "Subject: tie\r\nbefore");
}

TEST_F(Extraction, RolloverSubfoldersAreMadeDirectlyUnderTheDestination) {
    // Offsets in ascending buckets, so message k has subject mk.
    for (int k = 1; k <= 5; ++k) Message(k * 1000, 0x100 * k, "Subject: m" + std::to_string(k) + "\r\n");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder, (2u << 16) | 1u), 1);
    EXPECT_EQ(ListFolder(output),
              (std::vector<std::string>{"Recovered_Msg1", "Recovered_Msg2", "m1.eml", "m2.eml"}));
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg1"), (std::vector<std::string>{"m3.eml", "m4.eml"}));
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg2"), std::vector<std::string>{"m5.eml"});
    const auto logs = recorder.Texts(EV_LOG);
    const std::vector<std::string> rollover = {
        "Count of messages in current directory reaches the limit 2.",
        "Create a new sub directory Recovered_Msg1 under " + output +
            " to accommodate the remaining recovered messages.",
        "-"};
    ASSERT_EQ(logs.size(), 5u * 6 + 2 * 3);
    EXPECT_EQ(std::vector<std::string>(logs.begin() + 12, logs.begin() + 15), rollover);
}

TEST_F(Extraction, AFullDestinationSendsTheFirstMessageToASubfolder) {
    scratch.WriteFile("out/a", "x");
    scratch.WriteFile("out/b", "x");
    Message(0, 0x100, "Subject: first\r\n");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder, (2u << 16) | 1u), 1);
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg1"), std::vector<std::string>{"first.eml"});
}

TEST_F(Extraction, WithoutTheSwitchTheLimitHasNoEffect) {
    for (int k = 1; k <= 3; ++k) Message(k * 1000, 0x100 * k, "Subject: m" + std::to_string(k) + "\r\n");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder, 1u << 16), 1);
    EXPECT_EQ(ListFolder(output).size(), 3u);
}

TEST_F(Extraction, StopDuringOutputKeepsWhatWasWrittenAndStillSucceeds) {
    for (int k = 1; k <= 4; ++k) Message(k * 1000, 0x100 * k, "Subject: m" + std::to_string(k) + "\r\n");
    EventRecorder recorder;
    // The image is under 10000 bytes, so the scan asks nothing: questions 1
    // to 4 come from the validation, 5 to 8 before each message.
    recorder.stopAt = [](int question) { return question == 7; };
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{"m1.eml", "m2.eml"}));
    EXPECT_EQ(recorder.events.back().code, EV_PROGRESS);
    EXPECT_EQ(recorder.events.back().number, 100);
}

TEST_F(Extraction, AMissingDestinationFailsEveryCopyAndEndsCleanly) {
    Message(0, 0x100, "Subject: a\r\n");
    Message(1000, 0x200, "Subject: b\r\n");
    const std::string source = scratch.WriteFile("image.bin", image);
    EventRecorder recorder;
    EXPECT_EQ(RunRecovery(source, scratch / "missing", 0, &recorder), 1);
    EXPECT_EQ(recorder.Texts(EV_ERROR), std::vector<std::string>(2, "Error 6: Cannot create message file."));
    EXPECT_EQ(recorder.Count(EV_REPORT_CELL), 6);  // rows are reported all the same
    EXPECT_TRUE(ListFolder(temp).empty());
    EXPECT_FALSE(std::filesystem::exists(scratch / "missing"));
}

TEST_F(Extraction, AnUnwritableDestinationFailsEveryCopy) {
    Message(0, 0x100, "Subject: a\r\n");
    const std::string source = scratch.WriteFile("image.bin", image);
    for (const std::string& destination : {scratch.WriteFile("a-file", "x"), std::string("/proc/self")}) {
        EventRecorder recorder;
        EXPECT_EQ(RunRecovery(source, destination, 0, &recorder), 1) << destination;
        EXPECT_EQ(recorder.Texts(EV_ERROR), std::vector<std::string>{"Error 6: Cannot create message file."});
    }
}

TEST_F(Extraction, AnUnusableTemporaryFolderFailsEveryMessage) {
    Message(0, 0x100, "Subject: a\r\n");
    Message(1000, 0x200, "Subject: b\r\n");
    testing::SetEnvironment(testing::kTempFolderVariable, scratch / "no-such-temp");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(recorder.Texts(EV_ERROR), std::vector<std::string>(2, "Error 4: Cannot create temporary file."));
    EXPECT_EQ(recorder.Count(EV_LOG), 0);
    EXPECT_EQ(recorder.Count(EV_REPORT_CELL), 2);
    EXPECT_TRUE(ListFolder(output).empty());
}

TEST_F(Extraction, DataCutOffByTheEndOfTheSourceIsPaddedWithZeros) {
    const std::string text = "Subject: cut\r\n" + std::string(85, 'x');
    Message(0, 0x100, text);
    image.resize(16 + 20);  // the source ends 20 bytes into the data area
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("cut.eml"), text.substr(0, 20) + std::string(text.size() - 20, '\0'));
}

TEST_F(Extraction, TinyImagesHoldNothing) {
    for (size_t size : {0u, 15u, 16u}) {
        image.assign(size, 0);
        EventRecorder recorder;
        EXPECT_EQ(Recover(recorder), 0) << size;
        EXPECT_EQ(recorder.Count(EV_ERROR), 0);
        EXPECT_EQ(recorder.events.back().number, 100);
    }
}

// Headers every 16 bytes: each block's data area holds the next headers,
// and the chain runs through all of them by offset.
void DenseChain(std::vector<uint8_t>& image, uint64_t start, uint32_t blocks, uint32_t firstOffset,
                uint32_t lastNext) {
    image.resize(start + uint64_t{blocks} * 16 + 528, 0);
    for (uint32_t i = 0; i < blocks; ++i) {
        const uint32_t self = firstOffset + 16 * i;
        const uint32_t next = i + 1 < blocks ? self + 16 : lastNext;
        const auto header = ostrel::builder::HeaderBytes(BlockFields{self, 512, 1, next});
        std::copy(header.begin(), header.end(), image.begin() + static_cast<ptrdiff_t>(start + 16 * i));
    }
}

TEST_F(Extraction, AMillionBlockChainIsFollowedToItsEnd) {
    constexpr uint32_t kBlocks = 1000000;
    Message(0, 0x10, "Subject: long chain\r\n", 0x1000);
    DenseChain(image, 1024, kBlocks, 0x1000, 0);
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(std::filesystem::file_size(output + "/long chain.eml"), 21u + kBlocks);
}

// Messages up to a MiB are named and copied from memory, longer ones from
// their temporary file: both ways give the same files.
TEST_F(Extraction, MessagesAtAndBeyondWhatIsKeptInMemoryComeOutWhole) {
    std::vector<std::string> expected;
    uint64_t position = 0;
    for (uint32_t blocks : {2048u, 2049u, 3u}) {
        const uint32_t first = 0x100000 * (static_cast<uint32_t>(expected.size()) + 1);
        std::string text;
        for (uint32_t i = 0; i < blocks; ++i) {
            std::string data(512, static_cast<char>('a' + i % 26));
            const std::string subject = "Subject: blocks " + std::to_string(blocks) + "\r\n";
            if (i == 0) data.replace(0, subject.size(), subject);
            const uint32_t next = i + 1 < blocks ? first + 0x210 * (i + 1) : 0;
            WriteBlock(image, position, BlockFields{first + 0x210 * i, 512, 512, next}, data);
            position += 528;
            text += data;
        }
        expected.push_back(text);
    }
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(ListFolder(output),
              (std::vector<std::string>{"blocks 2048.eml", "blocks 2049.eml", "blocks 3.eml"}));
    EXPECT_EQ(Output("blocks 2048.eml"), expected[0]);
    EXPECT_EQ(Output("blocks 2049.eml"), expected[1]);
    EXPECT_EQ(Output("blocks 3.eml"), expected[2]);
    EXPECT_TRUE(ListFolder(temp).empty());
}

TEST_F(Extraction, HeadersThatChainIntoOneLongLoopEndOnce) {
    Message(0, 0x10, "Subject: circle\r\n", 0x1000);
    DenseChain(image, 1024, 50000, 0x1000, 0x1000);
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(std::filesystem::file_size(output + "/circle.eml"), 17u + 50000);
    EXPECT_EQ(ListFolder(output).size(), 1u);
}

}  // namespace
}  // namespace varrow
