// What varrow reports: the closing line, the exit status and the report's
// rows.
#include <gtest/gtest.h>

#include "message_rows.h"
#include "run_summary.h"
#include "scratch.h"

namespace varrow::cli {
namespace {

VarrowTotals Totals(uint64_t written, uint64_t failed, uint64_t empty = 0) {
    VarrowTotals totals{};
    totals.size = sizeof totals;
    totals.written = written;
    totals.complete = written;
    totals.failed = failed;
    totals.empty = empty;
    return totals;
}

TEST(RunSummary, ExitStatusSaysWhetherEverythingFoundWasWritten) {
    struct Case {
        VarrowTotals totals;
        int status;
    };
    VarrowTotals stopped = Totals(5, 0);
    stopped.stopped = 1;
    VarrowTotals gone = Totals(5, 0);
    gone.sourceFailed = 1;
    VarrowTotals duplicates = Totals(5, 0);
    duplicates.duplicatesSkipped = 9;
    for (const Case& c : {Case{Totals(5, 0), 0}, Case{Totals(5, 2), 3}, Case{Totals(5, 0, 1), 3},
                          Case{Totals(0, 3), 1}, Case{Totals(0, 0), 1}, Case{stopped, 130},
                          Case{gone, 1}, Case{duplicates, 0}}) {
        EXPECT_EQ(ExitStatusOf(c.totals), c.status) << SummaryLine(c.totals);
    }
}

TEST(RunSummary, SaysWhatWasWrittenAndWhatNot) {
    VarrowTotals totals = Totals(336, 0);
    totals.complete = 320;
    totals.incomplete = 16;
    totals.duplicatesSkipped = 24;
    EXPECT_EQ(SummaryLine(totals),
              "336 messages written (320 complete, 16 incomplete); 24 identical copies not written "
              "again; 0 failed");
    totals.uncertain = 10;
    EXPECT_EQ(SummaryLine(totals),
              "336 messages written (320 complete, 6 incomplete, 10 uncertain); 24 identical copies "
              "not written again; 0 failed");
    // An engine whose totals end before the count says nothing of it.
    totals.size = offsetof(VarrowTotals, uncertain);
    EXPECT_EQ(SummaryLine(totals),
              "336 messages written (320 complete, 16 incomplete); 24 identical copies not written "
              "again; 0 failed");
    totals = Totals(1, 2, 1);
    totals.duplicatesSkipped = 1;
    totals.unreadableSectors = 8;
    totals.sourceFailed = 1;
    totals.stopped = 1;
    EXPECT_EQ(SummaryLine(totals),
              "1 message written (1 complete, 0 incomplete); 1 identical copy not written again; 2 "
              "failed; 1 copy "
              "could not be read at all; 8 sectors of the source could not be read; the source "
              "stopped answering; "
              "stopped before the end");
}

TEST(MessageRows, MatchEachCopyToItsFileAndTellWhatIsMissing) {
    const uint64_t blocks[] = {4096, 8192};
    VarrowMessageRecord record{};
    record.size = sizeof record;
    record.number = 7;
    record.copy = 2;
    record.outcome = VARROW_COPY_WRITTEN;
    // The engine names files with the system's separator.
    const std::string path = testing::NativePath("/out/Recovered_Msg1/Re_ x.eml");
    record.path = path.c_str();
    record.subject = "Re: x";
    record.bytes = 900;
    record.blocks = blocks;
    record.blockCount = 2;
    record.incomplete = VARROW_INCOMPLETE_BEGINNING | VARROW_INCOMPLETE_UNREADABLE;
    record.hasDate = 1;
    record.date = 1078496530;
    record.from = "Anna <anna@example.org>";
    EXPECT_EQ(
        MessageRow(record, testing::NativePath("/out"), FileDigests{"m", "s"}, true),
        (std::vector<std::string>{"7", "Re: x", "2", testing::NativePath("Recovered_Msg1/Re_ x.eml"), "900", "2", "4096",
                                  "no", "beginning missing; unreadable bytes", "",
                                  "2004-03-05T14:22:10Z", "Anna <anna@example.org>", "m", "s"}));
    // A continuation chosen among rivals is doubt, not a known loss.
    record.incomplete = VARROW_INCOMPLETE_UNCERTAIN;
    const std::vector<std::string> guessed = MessageRow(record, testing::NativePath("/out"), std::nullopt, false);
    EXPECT_EQ(guessed[7], "uncertain");
    EXPECT_EQ(guessed[8], "continuation uncertain");
    record.incomplete = VARROW_INCOMPLETE_END | VARROW_INCOMPLETE_UNCERTAIN;
    const std::vector<std::string> cut = MessageRow(record, testing::NativePath("/out"), std::nullopt, false);
    EXPECT_EQ(cut[7], "no");
    EXPECT_EQ(cut[8], "end missing; continuation uncertain");
    record.outcome = VARROW_COPY_DUPLICATE;
    record.path = "";
    record.duplicateOfNumber = 3;
    record.duplicateOfCopy = 1;
    record.incomplete = 0;
    record.hasDate = 0;
    const std::vector<std::string> duplicate = MessageRow(record, testing::NativePath("/out"), std::nullopt, false);
    ASSERT_EQ(duplicate.size(), MessageColumns(false).size());
    EXPECT_EQ(duplicate[3], "");
    EXPECT_EQ(duplicate[7], "yes");
    EXPECT_EQ(duplicate[9], "3/1");
    EXPECT_EQ(duplicate[10], "");
    EXPECT_EQ(MessageColumns(true).size(), MessageColumns(false).size() + 2);
}

}  // namespace
}  // namespace varrow::cli
