// The recovery entry: options, event order, error texts.
#include "session.h"

#include <gtest/gtest.h>

#include "base/file_exception.h"
#include "base/messages.h"
#include "event_recorder.h"
#include "scratch.h"

namespace varrow {
namespace {

using testing::EventRecorder;
using testing::RunRecovery;
using testing::ScratchFolder;

TEST(RecoveryOptions, UnpackTheSwitchAndTheLimit) {
    struct Case {
        uint32_t word;
        int32_t useNewFolder;
        uint16_t maxPerFolder;
    };
    for (const Case& c : {Case{0, 0, 10000}, Case{1, 1, 10000}, Case{(5u << 16) | 1, 1, 5},
                          Case{5u << 16, 0, 5}, Case{0xFFFE, 0, 10000},
                          Case{0xFFFFFFFF, 1, 65535}, Case{655360001, 1, 10000}}) {
        const RecoveryOptions options = UnpackOptions(c.word);
        EXPECT_EQ(options.useNewFolder, c.useNewFolder) << c.word;
        EXPECT_EQ(options.maxPerFolder, c.maxPerFolder) << c.word;
    }
}

TEST(ErrorTexts, DescribeEachKindOfException) {
    EXPECT_EQ(DescribeError(kTextGeneralError, CMemoryException()), "Error 2: General error. Out of memory.");
    EXPECT_EQ(DescribeError(kTextGeneralError, CPellamException(7)),
              "Error 2: General error. No error message is available.");
    EXPECT_EQ(DescribeError(kTextCannotOpenSource, CFileException(CFileException::fileNotFound, 2, "x.img")),
              "Error 1: Cannot open the file to be repaired. x.img was not found.");
    EXPECT_EQ(DescribeError(kTextGeneralError, CFileException(CFileException::diskFull, -1)),
              "Error 2: General error. Disk full while accessing an unnamed file.");
    EXPECT_EQ(DescribeError(kTextGeneralError, CFileException(99, 0, "f")),
              "Error 2: General error. An unknown error occurred while accessing f.");
}

TEST(ErrorTexts, DescriptionsAreCutAtTheirLimit) {
    std::string text;
    CFileException(CFileException::badPath, 0, std::string(10000, 'n')).GetErrorMessage(text, 4095);
    EXPECT_EQ(text.size(), 4095u);
}

TEST(ErrorTexts, EveryCauseHasItsText) {
    const std::vector<std::string> expected = {
        "No error occurred.", "An unknown error occurred while accessing f.", "f was not found.",
        "f contains an invalid path.", "f could not be opened because there are too many open files.",
        "Access to f was denied.", "An invalid file handle was associated with f.",
        "f could not be removed because it is the current directory.",
        "f could not be created because the directory is full.", "Seek failed on f",
        "A hardware I/O error was reported while accessing f.",
        "A sharing violation occurred while accessing f.",
        "A locking violation occurred while accessing f.", "Disk full while accessing f.",
        "An attempt was made to access f past its end."};
    for (int cause = 0; cause <= CFileException::endOfFile; ++cause) {
        std::string text;
        ASSERT_TRUE(CFileException(cause, 0, "f").GetErrorMessage(text, 4095));
        EXPECT_EQ(text, expected[cause]);
    }
}

TEST(MessageTable, HoldsTheNumberedTexts) {
    EXPECT_STREQ(EngineText(21), "\\\\.\\PHYSICALDRIVE");
    EXPECT_STREQ(EngineText(22), "\\\\.\\");
    EXPECT_EQ(FormatText(EngineText(18), 3ul), "Recovered_Msg3");
    EXPECT_EQ(FormatText(EngineText(20), "Recovered_Msg1", "/out"),
              "Create a new sub directory Recovered_Msg1 under /out to accommodate the remaining "
              "recovered messages.");
    EXPECT_EQ(FormatText(EngineText(15), "f"),
              "Share violation when opening the source file 'f'.\nPlease close any other "
              "applications accessing the file and try again.");
    EXPECT_STREQ(EngineText(13), "");
}

TEST(RecoveryRun, ASourceWithoutBlocksSendsTheTitlesAndEnds) {
    ScratchFolder scratch;
    const std::string source = scratch.WriteFile("empty.img", std::string(100, 'x'));
    EventRecorder recorder;
    EXPECT_EQ(RunRecovery(source, scratch.path(), 0, &recorder), 0);
    ASSERT_GE(recorder.events.size(), 6u);
    EXPECT_EQ(recorder.events[0].code, EV_PROGRESS);
    EXPECT_EQ(recorder.events[0].number, 0);
    EXPECT_EQ(recorder.events[1].code, EV_SOURCE);
    EXPECT_EQ(recorder.events[1].text, source);
    EXPECT_EQ(recorder.events[2].code, EV_REPORT_COLUMNS);
    EXPECT_EQ(recorder.events[2].number, 2);
    EXPECT_EQ(recorder.Texts(EV_REPORT_CELL), (std::vector<std::string>{"Message No.", "Subject"}));
    EXPECT_EQ(recorder.events.back().code, EV_PROGRESS);
    EXPECT_EQ(recorder.events.back().number, 100);
    EXPECT_EQ(recorder.Count(EV_ERROR), 0);
}

TEST(RecoveryRun, AnInvalidDestinationSendsTwoEventsAndTouchesNothing) {
    EventRecorder recorder;
    EXPECT_EQ(RunRecovery("/no/such/source", "", 0, &recorder), 0);
    ASSERT_EQ(recorder.events.size(), 2u);
    EXPECT_EQ(recorder.events[0].code, EV_ERROR);
    EXPECT_EQ(recorder.events[0].text, "Error 7: Invalid destination directory.");
    EXPECT_EQ(recorder.events[1].code, EV_ALERT);
    EXPECT_EQ(recorder.events[1].text,
              "Destination directory '' is invalid. Please try to use another directory.");

    EventRecorder tooLong;
    const std::string longFolder(5000, 'd');
    EXPECT_EQ(RunRecovery("/no/such/source", longFolder, 0, &tooLong), 0);
    ASSERT_EQ(tooLong.events.size(), 2u);
    EXPECT_EQ(tooLong.events[1].text, "Destination directory '" + longFolder +
                                          "' is invalid. Please try to use another directory.");
}

TEST(RecoveryRun, ADirectoryAsSourceCannotBeOpened) {
    ScratchFolder scratch;
    EventRecorder recorder;
    EXPECT_EQ(RunRecovery(scratch.path(), scratch.path(), 0, &recorder), 0);
    EXPECT_EQ(recorder.Texts(EV_ERROR),
              std::vector<std::string>{"Error 1: Cannot open the file to be repaired. Access to " +
                                       scratch.path() + " was denied."});
    EXPECT_EQ(recorder.Count(EV_ALERT), 0);
}

}  // namespace
}  // namespace varrow
