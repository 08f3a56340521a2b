// Subjects read from message text and the output paths made from them.
#include "output/naming.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <vector>

#include "base/paths.h"
#include "scratch.h"
#include "sim_os.h"
#include "links_and_fifos.h"
#include "system_facts.h"

namespace varrow {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

using namespace std::string_literals;
using testing::ListFolder;
using testing::ReadWholeFile;
using testing::ScratchFolder;
namespace fs = std::filesystem;

constexpr uint32_t kNumber = 9;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

bool Exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }

std::string Repeat(const std::string& piece, size_t times) {
    std::string text;
    for (size_t i = 0; i < times; ++i) text += piece;
    return text;
}

// A new folder under root whose path is exactly length bytes long, made of
// nested folders so that no single name passes the system's 255 bytes.
std::string MakeFolderOfLength(const std::string& root, size_t length) {
    std::string path = root;
    while (path.size() < length) {
        size_t name = std::min<size_t>(length - path.size() - 1, 200);
        if (length - (path.size() + 1 + name) == 1) --name;  // leave room for "/x"
        path += "/" + std::string(name, 'd');
        fs::create_directory(path);
    }
    return path;
}

// "header line" gives "HeaderLine": a test name from a row's label.
std::string NameOf(const char* label) {
    std::string name;
    bool startWord = true;
    for (const char* at = label; *at; ++at) {
        const auto c = static_cast<unsigned char>(*at);
        if (!std::isalnum(c)) {
            startWord = true;
            continue;
        }
        name += static_cast<char>(startWord ? std::toupper(c) : c);
        startWord = false;
    }
    return name;
}

template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return NameOf(info.param.label);
}

// --- From message text to output file -----------------------------------

struct NamingCase {
    const char* label;
    std::string message;
    std::string subject;   // for the log and the report
    std::string fileName;  // in the output folder
    std::vector<std::string> existing = {};
    size_t folderLength = 100;  // leaves 140 bytes of title under the 245-byte limit
};

void PrintTo(const NamingCase& c, std::ostream* out) { *out << c.label; }

class NamingFromMessageText : public ::testing::TestWithParam<NamingCase> {};

TEST_P(NamingFromMessageText, GivesSubjectAndNewOutputFile) {
    const NamingCase& c = GetParam();
    ScratchFolder scratch;
    const std::string message = scratch.WriteFile("message", c.message);
    const std::string folder = MakeFolderOfLength(scratch.path(), c.folderLength);
    ASSERT_EQ(folder.size(), c.folderLength);
    for (const std::string& name : c.existing) WriteText(folder + "/" + name, "kept");

    const std::string subject = ReadMessageSubject(message, kNumber);
    EXPECT_EQ(subject, c.subject);
    // The message's bytes at hand name it as its file does.
    EXPECT_EQ(ReadMessageSubject(std::vector<uint8_t>(c.message.begin(), c.message.end()), kNumber), c.subject);
    const std::string path = BuildOutputPath(folder, subject, kNumber);
    EXPECT_EQ(path, folder + kPathSeparator + c.fileName);
    EXPECT_FALSE(Exists(path));
    for (const std::string& name : c.existing) EXPECT_EQ(ReadText(folder + "/" + name), "kept");
}

const std::string kLongAscii(300, 'x');
const std::string kLongThreeByte = Repeat("\u20ac", 100);        // 300 bytes
const std::string kLongFourByte = "a" + Repeat("\U0001F600", 75);  // 301 bytes

INSTANTIATE_TEST_SUITE_P(
    Table, NamingFromMessageText,
    ::testing::Values(
        NamingCase{"header line", "From: a@b\r\nSubject: Re: meeting\r\n\r\nbody\r\n",
                   "Re: meeting", "Re_ meeting.eml"},
        NamingCase{"empty subject stops the search", "SUBJECT:\nSubject: later\n", "Message 9",
                   "Message 9.eml"},
        NamingCase{"no line with the word", "From: a\n\nhello\n", "Message 9", "Message 9.eml"},
        NamingCase{"only in the body", "From: a\n\nthe subject: budget\n", "budget",
                   "budget.eml"},
        NamingCase{"earlier line decides", "X-Subject-Info: abc\nSubject: real\n", "abc",
                   "abc.eml"},
        NamingCase{"word without a colon after it", "To: subject\nSubject: next\n", "next",
                   "next.eml"},
        NamingCase{"colon before the word is not used", "Re: subject line: x\n", "x", "x.eml"},
        NamingCase{"match restarts inside a failed one", "subsubject: y\n", "y", "y.eml"},
        NamingCase{"any case of A to Z", "SuBjEcT: mixed\n", "mixed", "mixed.eml"},
        NamingCase{"outer white space", "Subject:   spaced out   \n", "spaced out",
                   "spaced out.eml"},
        NamingCase{"all six white-space bytes", "Subject:\t\v\f x\t\v\f \r\n", "x", "x.eml"},
        NamingCase{"last line without line feed", "From: a\nSubject: tail", "tail", "tail.eml"},
        NamingCase{"zero byte ends the subject", "Subject: abc\0def\n"s, "abc", "abc.eml"},
        NamingCase{"zero byte hides the rest of its line",
                   "To: b\0Subject: hidden\nSubject: shown"s, "shown", "shown.eml"},
        NamingCase{"word across a read chunk", std::string(65530, 'x') + "\nSubject: across\n",
                   "across", "across.eml"},
        NamingCase{"separators", "Subject: a/b\\c\n", "a/b\\c", "a_b_c.eml"},
        NamingCase{"question marks", "Subject: ???\n", "???", "___.eml"},
        NamingCase{"all nine characters", "Subject: \\/:*?\"<>|\n", "\\/:*?\"<>|",
                   "_________.eml"},
        NamingCase{"multi-byte subject", "Subject: Gr\u00fc\u00dfe\n", "Gr\u00fc\u00dfe",
                   "Gr\u00fc\u00dfe.eml"},
        NamingCase{"300 ASCII bytes cut to 245", "Subject: " + kLongAscii + "\n", kLongAscii,
                   std::string(140, 'x') + ".eml"},
        NamingCase{"taken names", "Subject: Hello\n", "Hello", "Hello(2).eml",
                   {"Hello.eml", "Hello(1).eml"}}),
    RowName<NamingCase>);

// Names are UTF-8 on POSIX, where a path is refused for its length; on
// Windows they are in the ANSI code page (1252 here, one byte a character)
// and refused for control characters and device names.
const std::vector<NamingCase> kPosixNamingRows = {
    NamingCase{"three-byte characters cut whole", "Subject: " + kLongThreeByte + "\n", kLongThreeByte,
               Repeat("\u20ac", 46) + ".eml"},
    NamingCase{"four-byte characters cut whole", "Subject: " + kLongFourByte + "\n", kLongFourByte,
               "a" + Repeat("\U0001F600", 34) + ".eml"},
    NamingCase{"name the system refuses", "Subject: " + kLongAscii + "\n", kLongAscii, "Message 9(1).eml",
               {"Message 9.eml"}, 250},
};
const std::vector<NamingCase> kWindowsNamingRows = {
    NamingCase{"code page bytes cut at the limit", "Subject: " + kLongThreeByte + "\n", kLongThreeByte,
               kLongThreeByte.substr(0, 140) + ".eml"},
    NamingCase{"name the system refuses", "Subject: a\tb\n", "a\tb", "Message 9(1).eml", {"Message 9.eml"}},
    NamingCase{"device name", "Subject: con\n", "con", "Message 9.eml"},
    NamingCase{"device name with an extension", "Subject: LPT1.txt\n", "LPT1.txt", "Message 9.eml"},
};

INSTANTIATE_TEST_SUITE_P(ThisPlatform, NamingFromMessageText,
                         ::testing::ValuesIn(testing::kWindowsNames ? kWindowsNamingRows : kPosixNamingRows),
                         RowName<NamingCase>);

// --- Reading subjects ----------------------------------------------------

TEST(ReadMessageSubject, FindsASubjectAtTheEndOfAHugeLine) {
    ScratchFolder scratch;
    const std::string file =
        scratch.WriteFile("m", std::string(8 << 20, 'x') + "Subject: at the end");
    EXPECT_EQ(ReadMessageSubject(file, 1), "at the end");
}

TEST(ReadMessageSubject, StopsAtAZeroByteInAHugeLine) {
    ScratchFolder scratch;
    const std::string file =
        scratch.WriteFile("m", "Subject: cut\0"s + std::string(8 << 20, 'y') + "\nSubject: no\n");
    EXPECT_EQ(ReadMessageSubject(file, 1), "cut");
}

TEST(ReadMessageSubject, KeepsTheFirst4096BytesOfASubjectLineOfAnyLength) {
    ScratchFolder scratch;
    const std::string file = scratch.WriteFile("m", "Subject: " + std::string(3 << 20, 'z'));
    EXPECT_EQ(ReadMessageSubject(file, 1), std::string(4096, 'z'));
    // Exactly as long as is kept: nothing is cut.
    const std::string exact = "Subject: " + std::string(4096, 'y') + "\r\nSubject: later";
    EXPECT_EQ(ReadMessageSubject(scratch.WriteFile("exact", exact), 2), std::string(4096, 'y'));
}

TEST(ReadMessageSubject, ACutSubjectEndsWithAWholeCharacter) {
    // Three-byte characters after two ASCII bytes: the character at bytes
    // 4094..4096 is the one the cut would split.
    std::string subject = "xy";
    while (subject.size() < 5000) subject += "\xe2\x82\xac";
    const std::vector<uint8_t> message = Bytes("Subject: " + subject + "\r\n");
    EXPECT_EQ(ReadMessageSubject(message, 1), subject.substr(0, 4094));
    // A cut subject ends where its last character ends, trailing spaces
    // taken off as always.
    const std::vector<uint8_t> spaced = Bytes("Subject: " + std::string(4090, 'a') + std::string(100, ' '));
    EXPECT_EQ(ReadMessageSubject(spaced, 2), std::string(4090, 'a'));
}

TEST(ReadMessageSubject, GivesTheNumberedNameForWhatCannotBeRead) {
    ScratchFolder scratch;
    EXPECT_EQ(ReadMessageSubject(scratch / "missing", 3), "Message 3");
    EXPECT_EQ(ReadMessageSubject(scratch.path(), 4), "Message 4");  // a folder
    EXPECT_EQ(ReadMessageSubject(scratch.WriteFile("empty", ""), 5), "Message 5");
}

TEST(ReadMessageSubject, AFailedReadEndsTheSearchAndClosesTheFile) {
    testing::SimOs sim;
    platform::ScopedOs scoped{sim};
    testing::SimDevice& device = sim.AddDevice("/dev/simmsg");
    const std::string text = std::string(70000, 'x') + "\nSubject: lost\n";
    device.bytes.assign(text.begin(), text.end());
    device.badSectors = {65536 / 512};
    EXPECT_EQ(ReadMessageSubject("/dev/simmsg", 6), "Message 6");
    EXPECT_EQ(sim.OpenHandles(), 0);
}

TEST(ReadMessageSubject, ReadsNoFurtherThanTheSubjectLine) {
    testing::SimOs sim;
    platform::ScopedOs scoped{sim};
    testing::SimDevice& device = sim.AddDevice("/dev/simmsg");
    const std::string text = "Subject: early\n" + std::string(200000, 'x');
    device.bytes.assign(text.begin(), text.end());
    device.badSectors = {300};  // past the first read
    EXPECT_EQ(ReadMessageSubject("/dev/simmsg", 6), "early");
    EXPECT_EQ(device.reads, 1);
    EXPECT_EQ(sim.OpenHandles(), 0);
}

// --- Name rules ----------------------------------------------------------

TEST(ReplaceInvalidChars, ReplacesTheNineCharactersAndNothingElse) {
    const std::pair<std::string, std::string> rows[] = {
        {"\\/:*?\"<>|", "_________"},
        {"a::b//c", "a__b__c"},
        {" .dots. and spaces ", " .dots. and spaces "},
        {"\t\x01\x7f", "\t\x01\x7f"},
        {"Gr\u00fc\u00dfe \u20ac", "Gr\u00fc\u00dfe \u20ac"},
        {"", ""},
    };
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(ReplaceInvalidChars(text), expected) << text;
    }
}

struct ShortenCase {
    std::string path;
    int32_t max;
    std::string expected;
};

void PrintTo(const ShortenCase& c, std::ostream* out) { *out << c.path << " to " << c.max; }

class ShortenPathRule : public ::testing::TestWithParam<ShortenCase> {};

// Rows are written with '/', which stands for the platform's separator.
TEST_P(ShortenPathRule, Cuts) {
    EXPECT_EQ(ShortenPath(testing::NativePath(GetParam().path), GetParam().max),
              testing::NativePath(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ShortenPathRule,
    ::testing::Values(
        ShortenCase{"/out/abcdefghij.eml", 19, "/out/abcdefghij.eml"},  // fits
        ShortenCase{"/out/abcdefghij.eml", 15, "/out/abcdef.eml"},      // cut title
        ShortenCase{"/out/abcdefghij.eml", 9, "/out/.eml"},
        ShortenCase{"/o/Re.hello.eml", 12, "/o/Re.he.eml"},
        ShortenCase{"/out/ab.eml", 7, "/out/ab"},  // cut into the extension
        ShortenCase{"/out/ab.eml", 6, "/out/a"},
        ShortenCase{"/out/ab.eml", 5, "/out/"},
        ShortenCase{"/a-long-folder/x.eml", 10, "/a-long-folder/x.eml"},  // folder too long
        ShortenCase{"/out/x.eml", -1, "/out/x.eml"},
        ShortenCase{"abcdef.eml", 8, "abcd.eml"}));  // a bare name stays bare

// Whole characters only: UTF-8 on POSIX, the ANSI code page (here a
// single-byte one) on Windows.
const std::vector<ShortenCase> kPosixShortenRows = {
    ShortenCase{"/o/\u20ac\u20ac.eml", 12, "/o/\u20ac.eml"},
    ShortenCase{"/o/\u00e9.eml", 4, "/o/"},
    ShortenCase{"/o/\x80\x80\x80\x80.eml", 8, "/o/\x80.eml"},  // stray bytes kept
    ShortenCase{"/o/ab\xff\x80.eml", 10, "/o/ab\xff.eml"},
};
const std::vector<ShortenCase> kWindowsShortenRows = {
    ShortenCase{"/o/\xe9\xe9.eml", 8, "/o/\xe9.eml"},
    ShortenCase{"/o/\xe9.eml", 4, "/o/\xe9"},
    ShortenCase{"/o/\x80\x80\x80\x80.eml", 8, "/o/\x80.eml"},
};

INSTANTIATE_TEST_SUITE_P(ThisPlatform, ShortenPathRule,
                         ::testing::ValuesIn(testing::kWindowsNames ? kWindowsShortenRows : kPosixShortenRows));

// --- Unique names and the creation probe ---------------------------------

class NamesInAFolder : public ::testing::Test {
protected:
    ScratchFolder scratch;
    std::string At(const std::string& name) const { return scratch / name; }
};

TEST_F(NamesInAFolder, MakeUniquePathNumbersFromTheGivenPath) {
    EXPECT_EQ(MakeUniquePath(At("Re.eml")), At("Re.eml"));
    WriteText(At("Re.eml"), "");
    EXPECT_EQ(MakeUniquePath(At("Re.eml")), At("Re(1).eml"));
    WriteText(At("Re(1).eml"), "");
    EXPECT_EQ(MakeUniquePath(At("Re.eml")), At("Re(2).eml"));
    EXPECT_EQ(MakeUniquePath(At("Re(1).eml")), At("Re(1)(1).eml"));
    fs::create_directory(At("Re.hello.eml"));  // a folder is taken too
    EXPECT_EQ(MakeUniquePath(At("Re.hello.eml")), At("Re.hello(1).eml"));
    WriteText(At("Re"), "");
    EXPECT_EQ(MakeUniquePath(At("Re")), At("Re(1)"));
}

TEST_F(NamesInAFolder, MakeUniquePathNeverGivesTheFolderOrItsParent) {
    EXPECT_EQ(MakeUniquePath(At(".")), At("(1)."));
    EXPECT_EQ(MakeUniquePath(At("..")), At(".(1)."));
    EXPECT_EQ(MakeUniquePath(scratch.path() + kPathSeparator), At("(1)"));
}

TEST_F(NamesInAFolder, ADanglingLinkCountsAsTaken) {
    if (!testing::MakeLink(At("nowhere"), At("Hello.eml"))) GTEST_SKIP() << testing::kNoLinksReason;
    EXPECT_EQ(BuildOutputPath(scratch.path(), "Hello", 1), At("Hello(1).eml"));
    EXPECT_FALSE(CanCreateFile(At("Hello.eml")));
    EXPECT_FALSE(Exists(At("nowhere")));
}

TEST_F(NamesInAFolder, CanCreateFileRemovesItsProbe) {
    EXPECT_TRUE(CanCreateFile(At("new.eml")));
    EXPECT_TRUE(ListFolder(scratch.path()).empty());
}

TEST_F(NamesInAFolder, CanCreateFileNeverEmptiesOrFollows) {
    WriteText(At("kept.eml"), "content");
    EXPECT_FALSE(CanCreateFile(At("kept.eml")));
    if (testing::MakeLink(At("kept.eml"), At("link.eml"))) {
        EXPECT_FALSE(CanCreateFile(At("link.eml")));
    }
    EXPECT_EQ(ReadText(At("kept.eml")), "content");
}

TEST_F(NamesInAFolder, CanCreateFileRefusesWhatTheSystemCannotHold) {
    EXPECT_FALSE(CanCreateFile(At("missing/x.eml")));
    EXPECT_FALSE(CanCreateFile(scratch.path()));
    EXPECT_FALSE(CanCreateFile(At(std::string(256, 'n'))));
    EXPECT_FALSE(CanCreateFile(At("a\0b.eml"s)));  // would create "a" instead
    EXPECT_FALSE(CanCreateFile(""));
    EXPECT_TRUE(ListFolder(scratch.path()).empty());
}

// --- No subject leads out of the output folder ---------------------------

struct HostileSubject {
    const char* label;
    std::string subject;
    std::string fileName = {};         // when a particular name is expected
    std::string windowsFileName = {};  // where Windows names it otherwise
};

void PrintTo(const HostileSubject& c, std::ostream* out) { *out << c.label; }

class HostileSubjects : public ::testing::TestWithParam<HostileSubject> {};

TEST_P(HostileSubjects, StayInsideTheOutputFolder) {
    ScratchFolder scratch;
    const std::string folder = MakeFolderOfLength(scratch.path(), 100);
    const std::string path = BuildOutputPath(folder, GetParam().subject, 5);

    EXPECT_EQ(GetPathDirectory(path), folder + kPathSeparator);
    const std::string name = GetPathFileName(path);
    const std::string& expected = testing::kWindowsNames && !GetParam().windowsFileName.empty()
                                      ? GetParam().windowsFileName
                                      : GetParam().fileName;
    if (!expected.empty()) {
        EXPECT_EQ(name, expected);
    }
    EXPECT_LE(path.size(), 245u);
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(ListFolder(folder).empty());  // the probe is gone

    // The name is one new entry of the folder and nothing else.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0) << name;
    ::close(fd);
    EXPECT_EQ(ListFolder(folder), std::vector<std::string>{name});
    EXPECT_EQ(ListFolder(scratch.path()).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileSubjects,
    ::testing::Values(HostileSubject{"parent", "../", "_._.eml"},
                      HostileSubject{"climb", "../../etc/passwd", "_._.._etc_passwd.eml"},
                      HostileSubject{"absolute", "/etc/passwd", "_etc_passwd.eml"},
                      HostileSubject{"dot dot", "..", "_..eml"},
                      HostileSubject{"dot", ".", "_.eml"},
                      HostileSubject{"empty", "", ".eml"},
                      HostileSubject{"255 bytes", std::string(255, 'a'),
                                     std::string(140, 'a') + ".eml"},
                      HostileSubject{"300 separators", std::string(300, '/'),
                                     std::string(140, '_') + ".eml"},
                      HostileSubject{"climbs cut at the limit", Repeat("../", 100)},
                      HostileSubject{"control characters", "\x01\x1b[31m\t\r\n",
                                     "\x01\x1b[31m\t\r\n.eml", "Message 5.eml"},
                      HostileSubject{"zero byte", "a\0/../b"s, "Message 5.eml"},
                      HostileSubject{"not UTF-8", "\xff\xfe", "\xff\xfe.eml"}),
    RowName<HostileSubject>);

}  // namespace
}  // namespace varrow
