// Recoveries of messages and output folders made to break out: subjects
// that look like paths or hold bytes no name should, links and other
// entries named like the next message, folders near the rollover limit.
// The files must land inside the output folder under the names given here,
// and nothing outside may change.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "base/paths.h"
#include "event_recorder.h"
#include "fault_os.h"
#include "image_builder/block.h"
#include "output/outfolders.h"
#include "recovery_folders.h"
#include "scratch.h"
#include "links_and_fifos.h"
#include "system_facts.h"

namespace varrow {
namespace {

namespace fs = std::filesystem;
using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;
using testing::EventRecorder;
using testing::FaultOs;
using testing::ListFolder;
using testing::ReadWholeFile;
using testing::RunRecovery;
using testing::ScratchFolder;
using testing::StartsWith;
using testing::Text;

class HostileContent : public testing::RecoveryFolders {
protected:
    std::string victim = scratch / "victim";
    std::vector<uint8_t> image;
    uint32_t nextOffset = 0x10000;
    FaultOs journal{platform::SystemOs()};
    platform::ScopedOs scoped{journal};

    void SetUp() override {
        RecoveryFolders::SetUp();
        scratch.WriteFile("victim", "precious");
    }
    void TearDown() override {
        tmpdir.reset();
        if (IsSkipped()) return;  // no recovery ran
        // Every path the engine changed lies in the output or temporary
        // folder, by its name and once the links on its way are followed.
        const std::string realOutput = fs::canonical(output).string() + kPathSeparator;
        const std::string realTemp = fs::canonical(temp).string() + kPathSeparator;
        for (const std::string& path : journal.changedPaths) {
            EXPECT_TRUE(StartsWith(path, output + kPathSeparator) || StartsWith(path, temp + kPathSeparator + "QXT")) << path;
            EXPECT_EQ(path.find(testing::NativePath("/../")), std::string::npos) << path;
            const fs::path parent = fs::path(path).parent_path();
            if (!fs::exists(parent)) continue;
            const std::string realParent = fs::canonical(parent).string() + kPathSeparator;
            EXPECT_TRUE(StartsWith(realParent, realOutput) || realParent == realTemp) << path;
        }
        EXPECT_EQ(Text(ReadWholeFile(victim)), "precious");
        EXPECT_EQ(ListFolder(scratch.path()), (std::vector<std::string>{"image.bin", "out", "tmp", "victim"}));
        EXPECT_TRUE(ListFolder(temp).empty());
    }

    // A message of as many blocks as its text needs, at the end of the
    // image, with offsets in ascending buckets so that messages are numbered
    // in the order they were added.
    std::string Message(const std::string& text) {
        for (size_t at = 0; at < text.size(); at += 512) {
            const std::string piece = text.substr(at, 512);
            const uint32_t offset = nextOffset;
            nextOffset += 0x210;
            const uint32_t next = at + 512 < text.size() ? nextOffset : 0;
            WriteBlock(image, image.size() + 16, BlockFields{offset, 512, static_cast<uint32_t>(piece.size()), next}, piece);
        }
        return text;
    }
    std::string Subject(const std::string& subject) { return Message("Subject: " + subject + "\r\n\r\nbody\r\n"); }

    int32_t Recover(EventRecorder& recorder, uint32_t options = 0) {
        const std::string source = scratch.WriteFile("image.bin", image);
        return RunRecovery(source, output, options, &recorder);
    }
};

// How each subject is named on Linux, where only '/' and the zero byte
// cannot be part of a name; the other characters that Windows refuses are
// replaced all the same, and what Windows reserves (CON, NUL, COM1) is kept.
// On Windows, device names and control characters make the name the
// message's number. A leading dot, which would hide the file, becomes '_'.
struct NamedSubject {
    std::string subject;
    std::string fileName;
    std::string windowsName = {};  // where Windows names it otherwise

    const std::string& Name() const {
        return testing::kWindowsNames && !windowsName.empty() ? windowsName : fileName;
    }
};

TEST_F(HostileContent, SubjectsThatLookLikePathsOrHoldOddBytesStayOneFileInTheFolder) {
    const std::vector<NamedSubject> cases = {
        {"..", "_..eml"},
        {".", "_.eml"},
        {"../../../etc/passwd", "_._.._.._etc_passwd.eml"},
        {"/", "_(1).eml"},  // "." took "_.eml"
        {"/etc/cron.d/x", "_etc_cron.d_x.eml"},
        {"a/../../b", "a_.._.._b.eml"},
        {"..\\..\\windows", "_._.._windows.eml"},
        {"C:\\boot.ini", "C__boot.ini.eml"},
        {"CON", "CON.eml", "Message 9.eml"},
        {"NUL", "NUL.eml", "Message 10.eml"},
        {"COM1", "COM1.eml", "Message 11.eml"},
        {"tab\there", "tab\there.eml", "Message 12.eml"},
        {"bell\a esc\x1b del\x7f", "bell\a esc\x1b del\x7f.eml", "Message 13.eml"},
        {"carriage\rreturn", "carriage\rreturn.eml", "Message 14.eml"},
        {"\xff\xfe not UTF-8 \xc3", "\xff\xfe not UTF-8 \xc3.eml"},
        {"???", "___.eml"},
        {".ostrel-copy-XXXXXX", "_ostrel-copy-XXXXXX.eml"},
    };
    std::vector<std::string> texts;
    for (const NamedSubject& named : cases) texts.push_back(Subject(named.subject));
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    std::vector<std::string> expected;
    for (const NamedSubject& named : cases) expected.push_back(named.Name());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(output), expected);
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(Output(cases[i].Name()), texts[i]) << cases[i].Name();
        // The log and the report carry the subject itself.
        EXPECT_EQ(recorder.Texts(EV_REPORT_CELL)[3 + 2 * i], cases[i].subject);
    }
    EXPECT_TRUE(recorder.Texts(EV_ERROR).empty());
}

TEST_F(HostileContent, AZeroByteEndsTheSubjectAndAnEmptyOneGivesTheNumberedName) {
    const std::string cut = Message(std::string("Subject: before\0after\r\n", 24));
    const std::string empty = Message(std::string("Subject:\0hidden\r\nSubject: ignored\r\n", 35));
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{"Message 2.eml", "before.eml"}));
    EXPECT_EQ(Output("before.eml"), cut);
    EXPECT_EQ(Output("Message 2.eml"), empty);
}

TEST_F(HostileContent, ASubjectOf64KilobytesIsReportedBy4096BytesAndNamedBy245) {
    const std::string longSubject(65536, 'A');
    const std::string text = Subject(longSubject);
    // Two-byte characters: the cut must not split one.
    std::string accents;
    for (int i = 0; i < 300; ++i) accents += "\xc3\xa9";
    const std::string accented = Subject(accents);
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    const std::string folder = output + kPathSeparator;
    const std::string cutA = std::string(245 - folder.size() - 4, 'A') + ".eml";
    const size_t room = 245 - folder.size() - 4;
    // Whole UTF-8 characters on POSIX; in the Windows code page each byte
    // is a character of its own.
    std::string cutAccents = accents.substr(0, testing::kWindowsNames ? room : room - room % 2) + ".eml";
    // Under Wine a name is stored in UTF-8, where these 1-byte characters
    // take two bytes each and pass the file system's 255: the probe fails
    // and the message gets its number, as on any system refusing a name.
    if (!std::ofstream(scratch / cutAccents)) cutAccents = "Message 2.eml";
    fs::remove(scratch / cutAccents);
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{cutA, cutAccents}));
    EXPECT_EQ(Output(cutA), text);
    EXPECT_EQ(Output(cutAccents), accented);
    // The log and the report keep the first 4096 bytes of the subject.
    EXPECT_EQ(recorder.Texts(EV_REPORT_CELL)[3], longSubject.substr(0, 4096));
    EXPECT_EQ(recorder.Texts(EV_LOG)[2], "Message subject: " + longSubject.substr(0, 4096));
}

TEST_F(HostileContent, EntriesNamedLikeTheNextMessageAreNeitherFollowedNorReplaced) {
    fs::create_directory(output + "/Folder.eml");
    const bool fifo = testing::MakeFifo(output + "/Pipe.eml");
    scratch.WriteFile("out/Kept.eml", "kept");
    const std::string folder = Subject("Folder");
    const std::string pipe = Subject("Pipe");
    const std::string kept = Subject("Kept");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("Folder(1).eml"), folder);
    EXPECT_EQ(Output(fifo ? "Pipe(1).eml" : "Pipe.eml"), pipe);
    EXPECT_EQ(Output("Kept(1).eml"), kept);
    EXPECT_EQ(Output("Kept.eml"), "kept");
    EXPECT_TRUE(fs::is_directory(output + "/Folder.eml"));
    EXPECT_TRUE(fs::is_empty(output + "/Folder.eml"));
    EXPECT_TRUE(recorder.Texts(EV_ERROR).empty());
}

TEST_F(HostileContent, LinksNamedLikeTheNextMessageAreNeitherFollowedNorReplaced) {
    if (!testing::MakeLink(victim, output + "/Hello.eml")) GTEST_SKIP() << testing::kNoLinksReason;
    ASSERT_TRUE(testing::MakeLink(scratch / "nowhere", output + "/Dangling.eml"));
    ASSERT_TRUE(testing::MakeLink(victim, output + "/Message 3.eml"));
    const std::string hello = Subject("Hello");
    const std::string dangling = Subject("Dangling");
    const std::string untitled = Message("Untitled: nothing to name it by\r\n");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder), 1);
    EXPECT_EQ(Output("Hello(1).eml"), hello);
    EXPECT_EQ(Output("Dangling(1).eml"), dangling);
    EXPECT_EQ(Output("Message 3(1).eml"), untitled);
    EXPECT_EQ(fs::read_symlink(output + "/Hello.eml"), victim);
    EXPECT_EQ(fs::read_symlink(output + "/Dangling.eml"), scratch / "nowhere");
    EXPECT_EQ(fs::read_symlink(output + "/Message 3.eml"), victim);
    EXPECT_FALSE(fs::exists(scratch / "nowhere"));
    EXPECT_TRUE(recorder.Texts(EV_ERROR).empty());
}

// Names taken by a link (which leads out of the output folder) or by a file
// are passed over; the message goes to the next free counter name.
TEST_F(HostileContent, RolloverPassesOverLinksAndFilesNamedLikeItsFolders) {
    fs::create_directory(scratch / "elsewhere");
    // Where no link can be made, another file takes the name.
    if (!testing::MakeLink(scratch / "elsewhere", output + "/Recovered_Msg1", true)) {
        scratch.WriteFile("out/Recovered_Msg1", "another file");
    }
    scratch.WriteFile("out/Recovered_Msg2", "a file, not a folder");
    Subject("m1");
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder, (2u << 16) | VARROW_OPTION_NEW_FOLDER), 1);
    EXPECT_TRUE(recorder.Texts(EV_ERROR).empty());
    EXPECT_EQ(Text(ReadWholeFile(output + "/Recovered_Msg2")), "a file, not a folder");
    EXPECT_TRUE(fs::is_empty(scratch / "elsewhere"));
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg3"), std::vector<std::string>{"m1.eml"});
    const auto logs = recorder.Texts(EV_LOG);
    EXPECT_NE(std::find_if(logs.begin(), logs.end(),
                           [](const std::string& line) {
                               return line.rfind("Create a new sub directory Recovered_Msg3 under ", 0) == 0;
                           }),
              logs.end());
    fs::remove_all(scratch / "elsewhere");
}

TEST_F(HostileContent, AFolderJustBelowTheLargestLimitRollsOverAtTheLimit) {
    // The folder seems to hold 65533 entries: two more messages fit.
    journal.phantomEntries[output + kPathSeparator] = 65533;
    for (int k = 1; k <= 3; ++k) Subject("m" + std::to_string(k));
    EventRecorder recorder;
    EXPECT_EQ(Recover(recorder, 0xFFFF0000u | VARROW_OPTION_NEW_FOLDER), 1);
    EXPECT_EQ(ListFolder(output), (std::vector<std::string>{"Recovered_Msg1", "m1.eml", "m2.eml"}));
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg1"), std::vector<std::string>{"m3.eml"});
    EXPECT_EQ(recorder.Texts(EV_LOG)[12], "Count of messages in current directory reaches the limit 65535.");
}

TEST_F(HostileContent, ASubfolderThatAlreadyHoldsTheLimitTakesOneMessage) {
    fs::create_directory(output + "/Recovered_Msg1");
    for (int k = 0; k < 3; ++k) scratch.WriteFile("out/Recovered_Msg1/old" + std::to_string(k), "old");
    for (int k = 1; k <= 3; ++k) Subject("m" + std::to_string(k));
    EventRecorder recorder;
    // The destination holds one entry (the subfolder): m1 rolls over.
    EXPECT_EQ(Recover(recorder, (1u << 16) | VARROW_OPTION_NEW_FOLDER), 1);
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg1"),
              (std::vector<std::string>{"m1.eml", "old0", "old1", "old2"}));
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg2"), std::vector<std::string>{"m2.eml"});
    EXPECT_EQ(ListFolder(output + "/Recovered_Msg3"), std::vector<std::string>{"m3.eml"});
}

}  // namespace
}  // namespace varrow
