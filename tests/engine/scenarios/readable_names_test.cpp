// Files named after decoded subjects and dated by their Date: field, and
// the names as they always were with those options off.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "event_recorder.h"
#include "image_builder/block.h"
#include "recovery_folders.h"
#include "scratch.h"
#include "system_facts.h"

namespace varrow {
namespace {

namespace fs = std::filesystem;
using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;
using testing::EventRecorder;
using testing::ListFolder;

constexpr uint32_t kReadable =
    VARROW_OPTION_READABLE_NAMES | VARROW_OPTION_FILE_DATES | VARROW_OPTION_RECORDS;

class ReadableNames : public testing::RecoveryFolders {
protected:
    std::vector<uint8_t> image;
    uint32_t nextOffset = 0x100;

    void Message(const std::string& header) {
        const std::string text = header + "\r\n\r\nbody\r\n";
        WriteBlock(image, image.size() + 64,
                   BlockFields{nextOffset, 512, static_cast<uint32_t>(text.size()), 0}, text);
        nextOffset += 0x210;
    }

    int32_t Recover(EventRecorder& recorder, uint32_t options) {
        const std::string path = scratch.WriteFile("image.bin", image);
        return testing::RunRecovery(path, output, options, &recorder);
    }

    int64_t ModifiedTime(const std::string& name) const {
        struct stat status {};
        EXPECT_EQ(::stat((output + "/" + name).c_str(), &status), 0) << name;
        return status.st_mtime;
    }
};

TEST_F(ReadableNames, NameFilesAfterTheDecodedSubjectAndDateThemWhenTheyWereSent) {
    Message(
        "Date: Thu, 5 Mar 2004 14:22:10 +0100\r\nSubject: "
        "=?iso-8859-1?Q?Gr=FC=DFe_aus_M=FCnchen?=");
    Message("Subject: =?koi8-r?B?89/F29ggxd2jINzUycg=?=\r\nDate: 5 Mar 04 08:22:10 EST");
    Message("Subject: =?utf-8?Q?a=1Bb?= =?utf-8?Q?=2F..=2Fc?=");
    Message("X-Note: no subject field here\r\nsubject line in the body: caf\xe9");
    EventRecorder recorder;
    ASSERT_EQ(Recover(recorder, kReadable), 1);
    // Names are UTF-8 on POSIX; on Windows they are in the ANSI code page
    // (1252 here), where Cyrillic letters have no place and become '_'.
    const std::string greeting = testing::kWindowsNames ? "Gr\xfc\xdf" "e aus M\xfcnchen.eml"
                                                        : "Gr\xc3\xbc\xc3\x9f" "e aus M\xc3\xbcnchen.eml";
    const std::string cyrillic = testing::kWindowsNames ? "_____ ___ ____.eml"
                                                        : "\xd0\xa1\xd1\x8a\xd0\xb5\xd1\x88\xd1\x8c \xd0\xb5\xd1\x89\xd1\x91 "
                                                          "\xd1\x8d\xd1\x82\xd0\xb8\xd1\x85.eml";
    const std::string cafe = testing::kWindowsNames ? "caf\xe9.eml" : "caf\xc3\xa9.eml";
    std::vector<std::string> expected = {greeting, cyrillic, "a_b_.._c.eml", cafe};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(ListFolder(output), expected);
    EXPECT_EQ(ModifiedTime(greeting), 1078492930);
    EXPECT_EQ(ModifiedTime(cyrillic), 1078492930);
    // No date: the time of writing.
    EXPECT_GT(ModifiedTime(cafe), 1700000000);
    // The log and the report carry the decoded subject, control characters
    // and all; only the name makes them '_'.
    const std::vector<std::string> cells = recorder.Texts(EV_REPORT_CELL);
    EXPECT_NE(std::find(cells.begin(), cells.end(),
                        "a\x1b"
                        "b/../c"),
              cells.end());
    EXPECT_NE(std::find(cells.begin(), cells.end(),
                        "Gr\xc3\xbc\xc3\x9f"
                        "e aus M\xc3\xbcnchen"),
              cells.end());
    for (const auto& record : recorder.records) {
        if (record.subject ==
            "Gr\xc3\xbc\xc3\x9f"
            "e aus M\xc3\xbcnchen") {
            EXPECT_EQ(record.fields.hasDate, 1u);
            EXPECT_EQ(record.fields.date, 1078492930);
        }
    }
}

TEST_F(ReadableNames, WithTheOptionsOffNamesAndTimesAreAsTheyAlwaysWere) {
    Message("Date: Thu, 5 Mar 2004 14:22:10 +0100\r\nSubject: =?iso-8859-1?Q?Gr=FC=DFe?=");
    Message("Subject: caf\xe9");
    EventRecorder recorder;
    ASSERT_EQ(Recover(recorder, 0), 1);
    EXPECT_EQ(ListFolder(output),
              (std::vector<std::string>{"=_iso-8859-1_Q_Gr=FC=DFe_=.eml", "caf\xe9.eml"}));
    EXPECT_GT(ModifiedTime("caf\xe9.eml"), 1700000000);
    EXPECT_GT(ModifiedTime("=_iso-8859-1_Q_Gr=FC=DFe_=.eml"), 1700000000);
    EXPECT_EQ(recorder.Count(EV_MESSAGE_RECORD), 0);
}

TEST_F(ReadableNames, ADecodedSubjectLongerThanAPathIsCutAtAWholeCharacter) {
    std::string encoded = "Subject: =?utf-8?B?";
    // 100 three-byte characters, base64 of which is easy to write: "4oKs" per euro sign.
    for (int i = 0; i < 100; ++i) encoded += "4oKs";
    encoded += "?=";
    Message(encoded);
    EventRecorder recorder;
    ASSERT_EQ(Recover(recorder, kReadable), 1);
    const std::vector<std::string> names = ListFolder(output);
    ASSERT_EQ(names.size(), 1u);
    const std::string path = output + "/" + names[0];
    EXPECT_LE(path.size(), 245u);
    // Whole euro signs before ".eml": three bytes each in UTF-8, one in the
    // Windows code page.
    const std::string euro = testing::kWindowsNames ? "\x80" : "\xe2\x82\xac";
    const std::string title = names[0].substr(0, names[0].size() - 4);
    EXPECT_EQ(title.size() % euro.size(), 0u);
    for (size_t at = 0; at < title.size(); at += euro.size()) EXPECT_EQ(title.substr(at, euro.size()), euro);
    EXPECT_EQ(recorder.Texts(EV_REPORT_CELL).back().size(), 300u);
}

}  // namespace
}  // namespace varrow
