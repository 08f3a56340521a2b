// The record of every handled copy and the totals of a run: what each copy
// became, where its bytes lie on the source, whether it is whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "assembly/completeness.h"
#include "base/paths.h"
#include "event_recorder.h"
#include "fault_os.h"
#include "image_builder/block.h"
#include "recovery_folders.h"
#include "scratch.h"

namespace varrow {
namespace {

namespace fs = std::filesystem;
using ostrel::builder::BlockFields;
using ostrel::builder::WriteBlock;
using testing::EventRecorder;
using testing::MessageRecordCopy;
using testing::ReadWholeFile;
using testing::Text;

constexpr uint32_t kRecords = VARROW_OPTION_RECORDS;

class MessageRecords : public testing::RecoveryFolders {
protected:
    std::vector<uint8_t> image;
    std::string imagePath = scratch / "image.bin";

    // A message of blocks of the given texts, 0x400 apart from position on,
    // with offsets from firstOffset on; the last block ends the chain unless
    // lastNext says otherwise.
    std::string Message(uint64_t position, uint32_t firstOffset,
                        const std::vector<std::string>& blocks, uint32_t lastNext = 0) {
        std::string text;
        for (size_t i = 0; i < blocks.size(); ++i) {
            const uint32_t offset = firstOffset + 0x210 * static_cast<uint32_t>(i);
            const uint32_t next = i + 1 < blocks.size() ? offset + 0x210 : lastNext;
            WriteBlock(image, position + 0x400 * i,
                       BlockFields{offset, 512, static_cast<uint32_t>(blocks[i].size()), next},
                       blocks[i]);
            text += blocks[i];
        }
        return text;
    }

    int32_t Recover(EventRecorder& recorder, uint32_t options) {
        scratch.WriteFile("image.bin", image);
        return testing::RunRecovery(imagePath, output, options, &recorder);
    }

    // The bytes a record's runs point at, read from the image.
    std::string BytesOfRuns(const MessageRecordCopy& record) const {
        std::string bytes;
        for (const VarrowByteRun& run : record.runs) {
            if (run.flags & VARROW_RUN_ZEROS) {
                bytes += std::string(run.length, '\0');
            } else {
                bytes.append(reinterpret_cast<const char*>(image.data()) + run.position,
                             run.length);
            }
        }
        return bytes;
    }

    static const MessageRecordCopy& BySubject(const EventRecorder& recorder,
                                              const std::string& subject) {
        for (const MessageRecordCopy& record : recorder.records) {
            if (record.subject == subject) return record;
        }
        throw std::runtime_error("no record for " + subject);
    }
};

TEST_F(MessageRecords, SayWhatEachCopyBecameAndWhereItsBytesLie) {
    const std::string whole =
        Message(0, 0x100, {"Subject: whole\r\n\r\n" + std::string(490, 'a'), "end\r\n"});
    // Its second block names a successor that is nowhere.
    const std::string broken = Message(0x2000, 0x1000, {"Subject: broken\r\n\r\n", "part"}, 0x7770);
    // Its first block was overwritten: what is left starts in the body.
    const std::string tail =
        Message(0x4000, 0x2210, {"ing of the meeting: at ten\r\n", "rest of the body\r\n"});
    EventRecorder recorder;
    ASSERT_EQ(Recover(recorder, kRecords), 1);

    ASSERT_EQ(recorder.records.size(), 3u);
    const MessageRecordCopy& first = BySubject(recorder, "whole");
    EXPECT_EQ(first.fields.outcome, static_cast<uint32_t>(VARROW_COPY_WRITTEN));
    EXPECT_EQ(first.fields.incomplete, 0u);
    EXPECT_EQ(first.fields.chainEnd, static_cast<uint32_t>(VARROW_END_COMPLETE));
    EXPECT_EQ(first.fields.startsWithHeader, 1u);
    EXPECT_EQ(first.blocks, (std::vector<uint64_t>{0, 0x400}));
    EXPECT_EQ(first.fields.bytes, whole.size());
    EXPECT_EQ(first.path, output + kPathSeparator + "whole.eml");
    EXPECT_EQ(first.fields.copy, 1u);
    EXPECT_EQ(BytesOfRuns(first), whole);
    EXPECT_EQ(Text(ReadWholeFile(first.path)), whole);

    const MessageRecordCopy& cut = BySubject(recorder, "broken");
    EXPECT_EQ(cut.fields.chainEnd, static_cast<uint32_t>(VARROW_END_NEXT_MISSING));
    EXPECT_EQ(cut.fields.incomplete, static_cast<uint32_t>(VARROW_INCOMPLETE_END));
    EXPECT_EQ(BytesOfRuns(cut), broken);

    // No subject line: it is named by its number.
    const auto untitled = std::find_if(
        recorder.records.begin(), recorder.records.end(),
        [](const MessageRecordCopy& r) { return r.subject.rfind("Message ", 0) == 0; });
    ASSERT_NE(untitled, recorder.records.end());
    const MessageRecordCopy& late = *untitled;
    EXPECT_EQ(late.fields.startsWithHeader, 0u);
    EXPECT_EQ(late.fields.incomplete, static_cast<uint32_t>(VARROW_INCOMPLETE_BEGINNING));
    EXPECT_EQ(BytesOfRuns(late), tail);

    ASSERT_EQ(recorder.totals.size(), 1u);
    const VarrowTotals& totals = recorder.totals[0];
    EXPECT_EQ(totals.size, sizeof(VarrowTotals));
    EXPECT_EQ(totals.headsFound, 3u);
    EXPECT_EQ(totals.copiesHandled, 3u);
    EXPECT_EQ(totals.written, 3u);
    EXPECT_EQ(totals.complete, 1u);
    EXPECT_EQ(totals.incomplete, 2u);
    EXPECT_EQ(totals.failed + totals.duplicatesSkipped + totals.empty + totals.unreadableSectors,
              0u);
    // The totals come last, right before the closing progress.
    const std::vector<int32_t> codes = recorder.Codes();
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(codes[codes.size() - 2], EV_TOTALS);
    EXPECT_EQ(codes.back(), EV_PROGRESS);
}

TEST_F(MessageRecords, AreNotSentWithoutTheirOption) {
    Message(0, 0x100, {"Subject: one\r\n"});
    EventRecorder recorder;
    ASSERT_EQ(Recover(recorder, VARROW_OPTION_STORE_AWARE), 1);
    EXPECT_EQ(recorder.Count(EV_MESSAGE_RECORD), 0);
    EXPECT_EQ(recorder.Count(EV_TOTALS), 0);
}

TEST_F(MessageRecords, IdenticalCopiesAreWrittenOnceAndPointToTheFirst) {
    const std::string text = "Subject: twice\r\n\r\nsame bytes";
    Message(0, 0x100, {text});
    Message(0x1000, 0x100, {text});  // a second copy of the same store
    Message(0x2000, 0x100, {"Subject: twice\r\n\r\nother bytes"});
    EventRecorder recorder;
    ASSERT_EQ(Recover(recorder, kRecords | VARROW_OPTION_SKIP_IDENTICAL), 1);
    EXPECT_EQ(testing::ListFolder(output), (std::vector<std::string>{"twice(1).eml", "twice.eml"}));
    ASSERT_EQ(recorder.records.size(), 3u);
    // One message number, three copies.
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(recorder.records[i].fields.number, 1u);
        EXPECT_EQ(recorder.records[i].fields.copy, i + 1);
    }
    const MessageRecordCopy& skipped = recorder.records[1];
    EXPECT_EQ(skipped.fields.outcome, static_cast<uint32_t>(VARROW_COPY_DUPLICATE));
    EXPECT_EQ(skipped.path, "");
    EXPECT_EQ(skipped.fields.duplicateOfNumber, 1u);
    EXPECT_EQ(skipped.fields.duplicateOfCopy, 1u);
    EXPECT_EQ(recorder.totals.at(0).duplicatesSkipped, 1u);
    EXPECT_EQ(recorder.totals.at(0).written, 2u);

    // Kept when asked to.
    fs::remove_all(output);
    fs::create_directory(output);
    EventRecorder keeping;
    ASSERT_EQ(Recover(keeping, kRecords), 1);
    EXPECT_EQ(testing::ListFolder(output).size(), 3u);
}

TEST_F(MessageRecords, ACopyThatCouldNotBeWrittenIsCountedAsFailed) {
    Message(0, 0x100, {"Subject: a\r\n"});
    Message(0x1000, 0x200, {"Subject: b\r\n"});
    // An output folder that is not there takes no file.
    output = scratch / "missing";
    EventRecorder recorder;
    ASSERT_EQ(Recover(recorder, kRecords), 1);
    EXPECT_EQ(recorder.Texts(EV_ERROR),
              std::vector<std::string>(2, "Error 6: Cannot create message file."));
    ASSERT_EQ(recorder.records.size(), 2u);
    for (const MessageRecordCopy& record : recorder.records) {
        EXPECT_EQ(record.fields.outcome, static_cast<uint32_t>(VARROW_COPY_FAILED));
        EXPECT_EQ(record.path, "");
    }
    EXPECT_EQ(recorder.totals.at(0).written, 0u);
    EXPECT_EQ(recorder.totals.at(0).failed, 2u);
}

TEST_F(MessageRecords, BytesFromUnreadableSectorsMarkTheMessage) {
    // Its data runs into the sector at 0x200.
    const std::string text = "Subject: torn\r\n\r\n" + std::string(490, 'y');
    Message(0, 0x100, {text});
    Message(0x4000, 0x200, {"Subject: clean\r\n"});
    testing::FaultOs faults(platform::SystemOs());
    platform::ScopedOs scoped(faults);
    faults.FailReads(imagePath, 0x200, 0x201);
    // Store-aware mode reads the data through a page cache of its own.
    for (const uint32_t mode : {0u, static_cast<uint32_t>(VARROW_OPTION_STORE_AWARE)}) {
        SCOPED_TRACE(mode);
        EventRecorder recorder;
        ASSERT_EQ(Recover(recorder, kRecords | mode), 1);
        const MessageRecordCopy& torn = BySubject(recorder, "torn");
        EXPECT_EQ(torn.fields.unreadable, 1u);
        EXPECT_EQ(torn.fields.incomplete, static_cast<uint32_t>(VARROW_INCOMPLETE_UNREADABLE));
        EXPECT_EQ(Text(ReadWholeFile(torn.path)),
                  text.substr(0, 0x200 - 16) + std::string(text.size() - (0x200 - 16), '\0'));
        EXPECT_EQ(BySubject(recorder, "clean").fields.incomplete, 0u);
        EXPECT_EQ(recorder.totals.at(0).unreadableSectors, 1u);
    }
}

TEST_F(MessageRecords, ASourceThatShrinksUnderTheRunEndsItInsteadOfWritingEmptyFiles) {
    for (uint32_t i = 0; i < 60; ++i) {
        Message(0x400 * i, 0x100 + 0x210 * i, {"Subject: m" + std::to_string(i) + "\r\n"});
    }
    EventRecorder recorder;
    bool cut = false;
    recorder.stopAt = [&](int) {
        // Once the scan is over (the first question of pass 2), the image
        // loses all but its first messages.
        if (!cut && !recorder.Numbers(EV_PROGRESS).empty() &&
            recorder.Numbers(EV_PROGRESS).back() >= 50) {
            fs::resize_file(imagePath, 0x400 * 5);
            cut = true;
        }
        return false;
    };
    ASSERT_EQ(Recover(recorder, kRecords | VARROW_OPTION_SOURCE_HEALTH), 1);
    ASSERT_TRUE(cut);
    for (const std::string& name : testing::ListFolder(output)) {
        EXPECT_GT(fs::file_size(output + "/" + name), 0u) << name;
    }
    const std::vector<std::string> errors = recorder.Texts(EV_ERROR);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("stopped answering: it is shorter than when the scan began"),
              std::string::npos)
        << errors[0];
    ASSERT_EQ(recorder.totals.size(), 1u);
    EXPECT_EQ(recorder.totals[0].sourceFailed, 1u);
    EXPECT_LT(recorder.totals[0].copiesHandled, 60u);
    EXPECT_GE(recorder.totals[0].empty, 16u);
}

TEST_F(MessageRecords, AnImageCutShortDuringTheScanIsReportedAndWhatWasFoundIsWritten) {
    for (uint32_t i = 0; i < 10; ++i)
        Message(0x1000 * i, 0x100 + 0x210 * i, {"Subject: m" + std::to_string(i) + "\r\n"});
    image.resize(3 << 20);
    EventRecorder recorder;
    recorder.stopAt = [&](int question) {
        if (question == 1) fs::resize_file(imagePath, 0x10000);
        return false;
    };
    ASSERT_EQ(Recover(recorder, kRecords | VARROW_OPTION_SOURCE_HEALTH), 1);
    const std::vector<std::string> errors = recorder.Texts(EV_ERROR);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("became shorter while it was scanned"), std::string::npos)
        << errors[0];
    EXPECT_EQ(testing::ListFolder(output).size(), 10u);
    EXPECT_EQ(recorder.totals.at(0).written, 10u);
    EXPECT_EQ(recorder.totals.at(0).sourceFailed, 1u);
}

TEST_F(MessageRecords, ADeviceThatGoesAwayDuringTheScanEndsTheRunWithAnError) {
    Message(0, 0x100, {"Subject: early\r\n"});
    image.resize(uint64_t{160} << 20);
    testing::FaultOs faults(platform::SystemOs());
    platform::ScopedOs scoped(faults);
    EventRecorder recorder;
    // After the first question every read fails, the first sector's too.
    recorder.stopAt = [&](int question) {
        if (question == 1) faults.FailReads(imagePath, 0, UINT64_MAX);
        return false;
    };
    Recover(recorder, kRecords | VARROW_OPTION_SOURCE_HEALTH);
    const std::vector<std::string> errors = recorder.Texts(EV_ERROR);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("stopped answering: its first sector cannot be read any more"),
              std::string::npos)
        << errors[0];
    EXPECT_EQ(recorder.totals.at(0).sourceFailed, 1u);
    // It stopped after a long stretch of failures, well before the end.
    EXPECT_LT(faults.failedReads, 100000 + (64 << 20) / 512);
    EXPECT_TRUE(testing::ListFolder(output).empty());
}

TEST(StartsWithHeaderLine, KnowsAHeaderFieldFromTheMiddleOfAMessage) {
    struct Case {
        std::string text;
        bool header;
    };
    const std::vector<Case> cases = {
        {"Received: from mail", true},
        {"Subject:\r\n", true},
        {"X-Priority:3", false},  // no white space after the colon
        {"MIME-Version: 1.0", true},
        {"Return-Path:", true},
        {"http://example.com/", false},
        {"ing the meeting: tomorrow", false},
        {" continued: line", false},
        {"-dash: x", false},
        {"", false},
        {"Subject", false},
        {std::string(76, 'a') + ": x", true},
        {std::string(77, 'a') + ": x", false},
        {"\r\nSubject: x", false},
        // The rest of a field cut off before it, and whole names that also
        // end longer ones.
        {"ubject: Re: Train times", false},
        {"t: \"Urgent\" *please read*", false},
        {"on: attachment;", false},
        {"Mailer: Microsoft Outlook Express", false},
        {"From: \"Peter\" <p@x.org>", true},
        {"to: a@x.org", true},
        {"Date: Wed, 26 Apr 2006", true},
        {"Path: news.example.com!not-for-mail", true},
        {"Newsgroups: comp.mail", true},
        // A whole header with neither From nor Subject is a MIME part's or
        // the rest of a message header that lost its first fields; where
        // its end does not come, nothing can be told.
        {"Content-Type: text/html;\r\n\tcharset=\"iso-8859-1\"\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n<html>",
         false},
        {"Cc: \"Claire\" <c@x.org>\r\nDate: Wed, 5 Apr 2006\r\nMIME-Version: 1.0\r\n\r\nHi", false},
        {"Date: Sun, 18 Jun 2006\r\nX-Priority: 3\r\n\r\nText", false},
        {"Content-Type: text/plain\r\nMIME-Version: 1.0\r\nFROM: a@x.org\r\n\r\nText", true},
        {"Date: Sun, 18 Jun 2006\r\nsubject: Hi\r\n\r\nText", true},
        {"Date: Sun, 18 Jun 2006\r\nX-Note: 1\r\n from: folded, no field\r\n\r\nText", false},
        {"Content-Type: text/plain;\r\n\tcharset=\"us-ascii\"\r\n", true},
        {"Content-Type: text/plain\n\nText", false},
    };
    for (const Case& c : cases) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.text.data());
        EXPECT_EQ(StartsWithHeaderLine(bytes, c.text.size()), c.header) << c.text;
    }
}

}  // namespace
}  // namespace varrow
