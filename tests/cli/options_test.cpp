// The command line of varrow: parsing, CSV records, the progress line.
#include "options.h"

#include <gtest/gtest.h>

#include "csv.h"
#include "progress_line.h"
#include "varrow.h"

namespace varrow::cli {
namespace {

ParseResult Parse(std::vector<std::string> arguments) { return ParseCommandLine(arguments); }

TEST(CommandLineParsing, AcceptsTheRecoverCommandAndItsOptions) {
    const ParseResult plain = Parse({"recover", "disk.img", "out"});
    ASSERT_TRUE(plain.commandLine);
    EXPECT_EQ(plain.commandLine->source, "disk.img");
    EXPECT_EQ(plain.commandLine->outputFolder, "out");
    EXPECT_EQ(EngineOptionsOf(*plain.commandLine), VARROW_OPTIONS_BEST);

    const ParseResult full = Parse({"recover", "--new-folder", "500", "--log", "l.txt", "--report",
                                    "r.csv", "--quiet", "/dev/sdb", "out"});
    ASSERT_TRUE(full.commandLine) << full.error;
    EXPECT_EQ(EngineOptionsOf(*full.commandLine), (500u << 16) | VARROW_OPTIONS_BEST | 1u);
    EXPECT_EQ(full.commandLine->logFile, "l.txt");
    EXPECT_EQ(full.commandLine->reportFile, "r.csv");
    EXPECT_TRUE(full.commandLine->quiet);

    const ParseResult dashes = Parse({"recover", "--", "-odd-name.img", "out"});
    ASSERT_TRUE(dashes.commandLine);
    EXPECT_EQ(dashes.commandLine->source, "-odd-name.img");

    EXPECT_EQ(EngineOptionsOf(*Parse({"recover", "--new-folder", "65535", "a", "b"}).commandLine),
              0xFFFF0001u | VARROW_OPTIONS_BEST);
}

TEST(CommandLineParsing, TakesTheBestBehaviourUnlessTheClassicEngineIsAsked) {
    struct Case {
        std::vector<std::string> arguments;
        uint32_t options;
    };
    const uint32_t best = VARROW_OPTIONS_BEST;
    for (const Case& c :
         {Case{{"recover", "a", "b"}, best},
          Case{{"recover", "--classic", "a", "b"}, 0x0u},
          Case{{"recover", "a", "--classic", "b"}, 0x0u},
          Case{{"recover", "--classic", "--new-folder", "7", "a", "b"}, (7u << 16) | 1u},
          Case{{"recover", "--new-folder", "7", "a", "b"}, (7u << 16) | 1u | best},
          Case{{"recover", "--keep-duplicates", "a", "b"}, best & ~VARROW_OPTION_SKIP_IDENTICAL},
          Case{{"recover", "--raw-names", "--no-dates", "a", "b"},
               best & ~VARROW_OPTION_READABLE_NAMES & ~VARROW_OPTION_FILE_DATES},
          // --classic wins over every switch of ours.
          Case{{"recover", "--classic", "--keep-duplicates", "--hashes", "a", "b"}, 0x0u}}) {
        const ParseResult result = Parse(c.arguments);
        ASSERT_TRUE(result.commandLine) << result.error;
        EXPECT_EQ(EngineOptionsOf(*result.commandLine), c.options) << ::testing::PrintToString(c.arguments);
    }
    EXPECT_FALSE(Parse({"recover", "--classic=yes", "a", "b"}).commandLine);
    EXPECT_NE(std::string(kUsage).find("--classic"), std::string::npos);
}

TEST(CommandLineParsing, HelpAndVersion) {
    EXPECT_EQ(Parse({"--help"}).commandLine->action, CommandLine::Action::Help);
    EXPECT_EQ(Parse({"recover", "--help"}).commandLine->action, CommandLine::Action::Help);
    EXPECT_EQ(Parse({"--version"}).commandLine->action, CommandLine::Action::Version);
}

TEST(CommandLineParsing, RefusesWhatItCannotRun) {
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"restore", "a", "b"},
        {"recover"},
        {"recover", "a"},
        {"recover", "a", "b", "c"},
        {"recover", "--new-folder", "0", "a", "b"},
        {"recover", "--new-folder", "65536", "a", "b"},
        {"recover", "--new-folder", "12x", "a", "b"},
        {"recover", "--new-folder", "-5", "a", "b"},
        {"recover", "a", "b", "--new-folder"},
        {"recover", "--log", "", "a", "b"},
        {"recover", "--bogus", "a", "b"},
    };
    for (const auto& arguments : wrong) {
        const ParseResult result = Parse(arguments);
        EXPECT_FALSE(result.commandLine) << ::testing::PrintToString(arguments);
        EXPECT_FALSE(result.error.empty());
    }
}

TEST(CsvRecords, QuoteOnlyWhatNeedsIt) {
    EXPECT_EQ(CsvRecord({"Message No.", "Subject"}), "Message No.,Subject\r\n");
    EXPECT_EQ(CsvRecord({"1", "Re: a, b"}), "1,\"Re: a, b\"\r\n");
    EXPECT_EQ(CsvRecord({"2", "say \"hi\""}), "2,\"say \"\"hi\"\"\"\r\n");
    EXPECT_EQ(CsvRecord({"3", "two\r\nlines"}), "3,\"two\r\nlines\"\r\n");
    EXPECT_EQ(CsvRecord({"4", ""}), "4,\r\n");
}

TEST(ProgressLines, ShowRateAndTimeLeftWhileScanning) {
    ProgressState scanning;
    scanning.percent = 25;
    scanning.bytesScanned = 1000000000;
    scanning.totalBytes = 2000000000;
    scanning.elapsedSeconds = 10;
    EXPECT_EQ(FormatProgressLine(scanning), " 25% | 1.0 GB of 2.0 GB | 100.0 MB/s | 0:00:10 left");

    ProgressState early = scanning;
    early.elapsedSeconds = 0.1;
    EXPECT_EQ(FormatProgressLine(early), " 25% | 1.0 GB of 2.0 GB");

    ProgressState writing;
    writing.percent = 87;
    writing.writing = true;
    writing.messagesWritten = 1234;
    EXPECT_EQ(FormatProgressLine(writing), " 87% | 1234 messages written");
    EXPECT_EQ(FormatBytes(999), "999 B");
    EXPECT_EQ(FormatBytes(1500), "1.5 KB");
}

}  // namespace
}  // namespace varrow::cli
