// The varrow program run as a user runs it.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "image_builder/block.h"
#include "program_run.h"
#include "scratch.h"

namespace varrow {
namespace {

using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;
using testing::ScratchFolder;

using testing::ProgramRun;

ProgramRun RunVarrow(const std::string& arguments) {
    return testing::RunCommand(std::string(VARROW_PROGRAM) + " " + arguments);
}

class VarrowProgram : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::string out = scratch / "out";
    void SetUp() override { std::filesystem::create_directory(out); }

    std::string Image(const std::vector<std::string>& messages) {
        std::vector<uint8_t> image;
        uint32_t offset = 0x100;
        for (const std::string& text : messages) {
            WriteBlock(image, image.size() + 100, BlockFields{offset, 512, static_cast<uint32_t>(text.size()), 0},
                       text);
            offset += 0x100;
        }
        return scratch.WriteFile("image.bin", image);
    }
};

TEST_F(VarrowProgram, RecoversAnImageAndPrintsTheLog) {
    const std::string image = Image({"Subject: first\r\n\r\nbody", "Subject: a, \"b\"\r\n"});
    const ProgramRun run = RunVarrow("recover --quiet --report " + scratch / "report.csv" + " " + image + " " + out);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Start processing message (No.1) ...\n"), std::string::npos);
    EXPECT_NE(run.output.find("\n--------------------------------------------------------\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(out + "/first.eml"));
    EXPECT_TRUE(std::filesystem::exists(out + "/a, _b_.eml"));
    const auto report = testing::ReadWholeFile(scratch / "report.csv");
    EXPECT_EQ(std::string(report.begin(), report.end()),
              "Message No.,Subject,Copy,File,Size,Blocks,First block,Complete,Why incomplete,Duplicate of,"
              "Date,From\r\n"
              "1,first,1,first.eml,22,1,100,yes,,,,\r\n"
              "2,\"a, \"\"b\"\"\",1,\"a, _b_.eml\",17,1,728,yes,,,,\r\n");
    // The classic engine's report holds its two columns.
    std::filesystem::remove_all(out);
    std::filesystem::create_directory(out);
    EXPECT_EQ(RunVarrow("recover --classic --quiet --report " + scratch / "classic.csv" + " " + image + " " + out).status,
              0);
    const auto classic = testing::ReadWholeFile(scratch / "classic.csv");
    EXPECT_EQ(std::string(classic.begin(), classic.end()), "Message No.,Subject\r\n1,first\r\n2,\"a, \"\"b\"\"\"\r\n");
}

TEST_F(VarrowProgram, TheFirstLogLineSaysHowBlocksWereLinked) {
    const std::string image = Image({"Subject: x\r\n"});
    const ProgramRun storeAware = RunVarrow("recover --quiet " + image + " " + out);
    EXPECT_EQ(storeAware.status, 0);
    EXPECT_EQ(storeAware.output.substr(0, storeAware.output.find('\n')), "Linking: store by store");
    const ProgramRun classic = RunVarrow("recover --quiet --classic " + image + " " + out);
    EXPECT_EQ(classic.status, 0);
    EXPECT_EQ(classic.output.substr(0, classic.output.find('\n')), "Linking: by block offset across the source");
    // The best mode names the source's format and size next (a build
    // without image libraries says so); the rest is alike.
    const size_t format = storeAware.output.find('\n') + 1;
    const size_t size = storeAware.output.find('\n', format) + 1;
    const size_t rest = storeAware.output.find('\n', size);
    EXPECT_EQ(storeAware.output.substr(format, 23), "Source format: raw file");
    EXPECT_EQ(storeAware.output.substr(size, rest - size), "Media size: 628 bytes, sectors of 512 bytes");
    EXPECT_EQ(storeAware.output.substr(rest), classic.output.substr(classic.output.find('\n')));
}

TEST_F(VarrowProgram, TheLogCanGoToAFile) {
    const std::string image = Image({"Subject: x\r\n"});
    const ProgramRun run = RunVarrow("recover --quiet --log " + scratch / "log.txt" + " " + image + " " + out);
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "");
    const auto log = testing::ReadWholeFile(scratch / "log.txt");
    const std::string text(log.begin(), log.end());
    EXPECT_EQ(text.rfind("Linking: store by store\n", 0), 0u);
    EXPECT_NE(text.find("Message subject: x\n"), std::string::npos);
}

TEST_F(VarrowProgram, ExitStatusTellsWhatHappened) {
    const std::string image = Image({"Subject: x\r\n"});
    // Nothing found: 1.
    const std::string empty = scratch.WriteFile("empty.bin", std::string(1000, 'z'));
    EXPECT_EQ(RunVarrow("recover --quiet " + empty + " " + out).status, 1);
    // A source that cannot be opened: 1, and the engine's error on the log.
    const ProgramRun missing = RunVarrow("recover --quiet " + scratch / "none.img" + " " + out);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("Error 1: Cannot open the file to be repaired."), std::string::npos);
    // Messages found but none written: 1; the classic engine, which cannot
    // tell, says 3.
    const ProgramRun unwritable = RunVarrow("recover " + image + " " + testing::kUnwritableFolder);
    EXPECT_EQ(unwritable.status, 1) << unwritable.output;
    EXPECT_NE(unwritable.output.find("Error 6: Cannot create message file."), std::string::npos);
    EXPECT_NE(unwritable.output.find("varrow: 0 messages written (0 complete, 0 incomplete); 0 identical copies "
                                     "not written again; 1 failed\n"),
              std::string::npos)
        << unwritable.output;
    EXPECT_EQ(RunVarrow("recover --quiet --classic " + image + " " + testing::kUnwritableFolder).status, 3);
    // Wrong arguments and a missing output folder: 2, with a clear message.
    EXPECT_EQ(RunVarrow("recover " + image).status, 2);
    const ProgramRun noFolder = RunVarrow("recover " + image + " " + scratch / "nowhere");
    EXPECT_EQ(noFolder.status, 2);
    EXPECT_NE(noFolder.output.find("does not exist"), std::string::npos);
    EXPECT_EQ(RunVarrow("--version").output, "varrow (Ostrel) " OSTREL_VERSION "\n");
    EXPECT_EQ(RunVarrow("--help").status, 0);
}

}  // namespace
}  // namespace varrow
