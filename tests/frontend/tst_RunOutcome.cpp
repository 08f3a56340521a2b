// How a run's events are counted and what the window then says: the tally
// from records, totals or the classic report cells and error texts; the
// outcome of every kind of run with its texts, batch status and exit
// status.
#include <QtTest>

#include <cstddef>

#include "RunOutcome.h"
#include "RunTally.h"
#include "varrow.h"

using namespace tolvan;

Q_DECLARE_METATYPE(tolvan::TOutcomeKind)
Q_DECLARE_METATYPE(tolvan::TFailureReason)
Q_DECLARE_METATYPE(tolvan::TRunTotals)

namespace {

VarrowMessageRecord Record(uint32_t number, uint32_t outcome, uint32_t incomplete = 0) {
    VarrowMessageRecord record{};
    record.size = sizeof record;
    record.number = number;
    record.copy = 1;
    record.outcome = outcome;
    record.path = "";
    record.subject = "";
    record.from = "";
    record.incomplete = incomplete;
    return record;
}

TRunTotals Totals(uint64_t written, uint64_t failed, bool fromRecords = true) {
    TRunTotals totals;
    totals.fromRecords = fromRecords;
    totals.found = written + failed;
    totals.written = written;
    totals.complete = written;
    totals.failed = failed;
    return totals;
}

const QString kSuccess = "The Outlook Express data on 'disk.img' are recoverable.";
const QString kFail = "Fail to recover Outlook Express data from 'disk.img'!";

}  // namespace

class TestRunOutcome : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tallyFromRecords() {
        TRunTally tally;
        for (const VarrowMessageRecord& record :
             {Record(1, VARROW_COPY_WRITTEN), Record(2, VARROW_COPY_WRITTEN, VARROW_INCOMPLETE_END),
              Record(3, VARROW_COPY_WRITTEN), Record(3, VARROW_COPY_DUPLICATE),
              Record(6, VARROW_COPY_WRITTEN, VARROW_INCOMPLETE_UNCERTAIN),
              Record(7, VARROW_COPY_WRITTEN, VARROW_INCOMPLETE_UNCERTAIN | VARROW_INCOMPLETE_END),
              Record(4, VARROW_COPY_FAILED), Record(5, VARROW_COPY_EMPTY)})
            tally.Observe(EV_MESSAGE_RECORD, &record);
        // The classic events of the same run change nothing.
        tally.Observe(EV_ERROR, "Error 6: Cannot create message file.");
        QCOMPARE(tally.MessagesHandled(), uint64_t{8});
        const TRunTotals totals = tally.Totals();
        QVERIFY(totals.fromRecords);
        QCOMPARE(totals.found, uint64_t{8});
        QCOMPARE(totals.written, uint64_t{5});
        QCOMPARE(totals.complete, uint64_t{2});
        QCOMPARE(totals.incomplete, uint64_t{3});
        QCOMPARE(totals.uncertain, uint64_t{1});
        QCOMPARE(totals.duplicates, uint64_t{1});
        QCOMPARE(totals.failed, uint64_t{1});
        QCOMPARE(totals.empty, uint64_t{1});
        QVERIFY(!totals.sourceFailed);
    }

    // The engine's own totals are the last word.
    void totalsEventWins() {
        TRunTally tally;
        const VarrowMessageRecord record = Record(1, VARROW_COPY_WRITTEN);
        tally.Observe(EV_MESSAGE_RECORD, &record);
        VarrowTotals totals{};
        totals.size = sizeof totals;
        totals.copiesHandled = 40;
        totals.written = 30;
        totals.complete = 25;
        totals.incomplete = 5;
        totals.uncertain = 3;
        totals.duplicatesSkipped = 6;
        totals.failed = 4;
        totals.unreadableSectors = 7;
        totals.sourceFailed = 1;
        tally.Observe(EV_TOTALS, &totals);
        const TRunTotals seen = tally.Totals();
        QCOMPARE(seen.found, uint64_t{40});
        QCOMPARE(seen.written, uint64_t{30});
        QCOMPARE(seen.incomplete, uint64_t{5});
        QCOMPARE(seen.uncertain, uint64_t{3});
        QCOMPARE(seen.duplicates, uint64_t{6});
        QCOMPARE(seen.failed, uint64_t{4});
        QCOMPARE(seen.unreadableSectors, uint64_t{7});
        QVERIFY(seen.sourceFailed);
        tally.Reset();
        QCOMPARE(tally.Totals().written, uint64_t{0});
        QVERIFY(!tally.Totals().fromRecords);
    }

    // A record too short to say what became of its copy is not counted;
    // one without the later fields is.
    void shortRecords() {
        TRunTally tally;
        VarrowMessageRecord cut = Record(1, VARROW_COPY_WRITTEN);
        cut.size = offsetof(VarrowMessageRecord, incomplete);
        tally.Observe(EV_MESSAGE_RECORD, &cut);
        tally.Observe(EV_MESSAGE_RECORD, nullptr);
        QCOMPARE(tally.MessagesHandled(), uint64_t{0});
        VarrowMessageRecord older = Record(2, VARROW_COPY_WRITTEN);
        older.size = offsetof(VarrowMessageRecord, startsWithHeader);
        tally.Observe(EV_MESSAGE_RECORD, &older);
        QCOMPARE(tally.Totals().written, uint64_t{1});
        VarrowTotals shortTotals{};
        shortTotals.size = 8;
        shortTotals.written = 99;
        tally.Observe(EV_TOTALS, &shortTotals);
        QCOMPARE(tally.Totals().written, uint64_t{1});
    }

    // Without records: rows of report cells, "Error 6" rows not written,
    // "Error 4" copies without a row, "Error 1" an unreadable source.
    void tallyWithoutRecords_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("failed");
        QTest::addColumn<bool>("sourceFailed");
        QTest::addColumn<bool>("engineError");
        QTest::newRow("all written") << 3 << QStringList{} << 3 << 0 << false << false;
        QTest::newRow("read-only folder")
            << 3 << QStringList(3, "Error 6: Cannot create message file.") << 0 << 3 << false
            << false;
        QTest::newRow("one temporary file failed")
            << 3 << QStringList{"Error 4: Cannot create temporary file."} << 3 << 1 << false
            << false;
        QTest::newRow("source not opened")
            << 0 << QStringList{"Error 1: Cannot open the file to be repaired. x"} << 0 << 0 << true
            << false;
        QTest::newRow("general error")
            << 1 << QStringList{"Error 2: General error. x"} << 1 << 0 << false << true;
    }
    void tallyWithoutRecords() {
        QFETCH(int, rows);
        QFETCH(QStringList, errors);
        QFETCH(int, written);
        QFETCH(int, failed);
        QFETCH(bool, sourceFailed);
        QFETCH(bool, engineError);
        TRunTally tally;
        const int32_t columns = 2;
        tally.Observe(EV_REPORT_COLUMNS, &columns);
        for (int cell = 0; cell < 2 * (rows + 1); ++cell) tally.Observe(EV_REPORT_CELL, "cell");
        for (const QString& error : errors) tally.Observe(EV_ERROR, error.toUtf8().constData());
        tally.Observe(EV_LOG, "Error 6: in a log line, not an error");
        const TRunTotals totals = tally.Totals();
        QVERIFY(!totals.fromRecords);
        QCOMPARE(tally.MessagesHandled(), uint64_t(rows));
        QCOMPARE(totals.written, uint64_t(written));
        QCOMPARE(totals.failed, uint64_t(failed));
        QCOMPARE(totals.sourceFailed, sourceFailed);
        QCOMPARE(totals.engineError, engineError);
    }

    void outcomes_data() {
        QTest::addColumn<bool>("engineSuccess");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<bool>("sourceEmpty");
        QTest::addColumn<TRunTotals>("totals");
        QTest::addColumn<TOutcomeKind>("kind");
        QTest::addColumn<TFailureReason>("reason");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("exitStatus");
        QTest::addColumn<QStringList>("lines");

        TRunTotals mixed = Totals(3, 0);
        mixed.complete = 2;
        mixed.incomplete = 1;
        mixed.duplicates = 1;
        mixed.found = 4;
        QTest::newRow("every copy written")
            << true << false << false << mixed << TOutcomeKind::Success << TFailureReason::None
            << "Successful" << 0
            << QStringList{kSuccess,
                           "3 message(s) written (2 complete, 1 incomplete); 1 identical copy(ies) "
                           "not written again; "
                           "0 could not be written."};
        QTest::newRow("read-only output folder")
            << true << false << false << Totals(0, 336) << TOutcomeKind::Failure
            << TFailureReason::EveryCopyFailed << "Failed" << 1
            << QStringList{kFail +
                               " 336 message(s) were found, but none could be written to the "
                               "output folder.",
                           "0 message(s) written (0 complete, 0 incomplete); 0 identical copy(ies) "
                           "not written "
                           "again; 336 could not be written."};
        QTest::newRow("some could not be written")
            << true << false << false << Totals(5, 2, false) << TOutcomeKind::Partial
            << TFailureReason::None << "Partly recovered" << 3
            << QStringList{kSuccess, "5 message(s) written; 2 could not be written."};
        QTest::newRow("stopped during the scan")
            << false << true << false << Totals(0, 0) << TOutcomeKind::Failure
            << TFailureReason::StoppedBeforeAny << "Aborted" << 1
            << QStringList{"User aborts the recovery process",
                           kFail + " The recovery was stopped before any message was written."};
        QTest::newRow("stopped after the engine began writing, nothing written yet")
            << true << true << false << Totals(0, 0) << TOutcomeKind::Failure
            << TFailureReason::StoppedBeforeAny << "Aborted" << 1
            << QStringList{"User aborts the recovery process",
                           kFail + " The recovery was stopped before any message was written."};
        QTest::newRow("stopped after some messages")
            << true << true << false << Totals(7, 0, false) << TOutcomeKind::Aborted
            << TFailureReason::None << "Aborted" << 3
            << QStringList{"User aborts the recovery process",
                           "7 message(s) written; 0 could not be written."};
        QTest::newRow("nothing found")
            << false << false << false << Totals(0, 0, false) << TOutcomeKind::Failure
            << TFailureReason::NothingFound << "Failed" << 1
            << QStringList{kFail + " No Outlook Express message was found on it."};
        TRunTotals unreadable = Totals(0, 0);
        unreadable.sourceFailed = true;
        unreadable.unreadableSectors = 12;
        QTest::newRow("source stopped answering")
            << true << false << false << unreadable << TOutcomeKind::Failure
            << TFailureReason::SourceUnreadable << "Failed" << 1
            << QStringList{kFail +
                           " The source could not be read. 12 sector(s) could not be read."};
        QTest::newRow("empty source")
            << false << false << true << Totals(0, 0, false) << TOutcomeKind::Failure
            << TFailureReason::SourceEmpty << "Failed" << 1
            << QStringList{kFail + " The source is empty: it holds no data to scan."};
        TRunTotals general = Totals(0, 0, false);
        general.engineError = true;
        QTest::newRow("engine error") << false << false << false << general << TOutcomeKind::Failure
                                      << TFailureReason::EngineFailed << "Failed" << 1
                                      << QStringList{kFail + " The recovery log tells why."};
        TRunTotals gone = Totals(10, 0);
        gone.sourceFailed = true;
        QTest::newRow("source went away after some messages")
            << true << false << false << gone << TOutcomeKind::Partial << TFailureReason::None
            << "Partly recovered" << 3
            << QStringList{
                   kSuccess,
                   "10 message(s) written (10 complete, 0 incomplete); 0 identical copy(ies) not "
                   "written again; 0 could not be written."};
    }
    void outcomes() {
        QFETCH(bool, engineSuccess);
        QFETCH(bool, stopped);
        QFETCH(bool, sourceEmpty);
        QFETCH(TRunTotals, totals);
        QFETCH(TOutcomeKind, kind);
        QFETCH(TFailureReason, reason);
        QFETCH(QString, status);
        QFETCH(int, exitStatus);
        QFETCH(QStringList, lines);
        const TRunOutcome outcome = ClassifyRun(engineSuccess, stopped, sourceEmpty, totals);
        QCOMPARE(outcome.kind, kind);
        QCOMPARE(outcome.reason, reason);
        QCOMPARE(BatchStatusText(outcome, stopped), status);
        QCOMPARE(ExitStatusOf(outcome), exitStatus);
        QCOMPARE(OutcomeLines(outcome, "disk.img", kSuccess), lines);
    }

    void batchCounts() {
        TBatchCounts counts;
        QCOMPARE(BatchCountText(counts), QString("0 drive(s) or disk(s) recovered successfully"));
        counts.Add(ClassifyRun(true, false, false, Totals(3, 0)), false);
        counts.Add(ClassifyRun(true, false, false, Totals(3, 1)), false);
        counts.Add(ClassifyRun(true, false, false, Totals(0, 3)), false);
        counts.Add(ClassifyRun(true, true, false, Totals(3, 0)), true);
        counts.Add(ClassifyRun(true, false, false, Totals(2, 0)), false);
        QCOMPARE(BatchCountText(counts), QString("2 drive(s) or disk(s) recovered successfully; 1 "
                                                 "partly recovered; 1 failed; 1 aborted"));
    }

    void titleAndSavedLogLines() {
        TRunTotals totals = Totals(30, 4);
        totals.complete = 25;
        totals.incomplete = 5;
        totals.duplicates = 6;
        totals.empty = 1;
        totals.unreadableSectors = 2;
        QCOMPARE(ReportTitle("disk.img", totals),
                 QString("30 message(s) from 'disk.img' written (5 incomplete); 6 identical "
                         "copy(ies) not written "
                         "again; 5 could not be written:"));
        QCOMPARE(
            TotalsLines(totals),
            QStringList({"Totals:", "Messages found: 34",
                         "Messages written: 30 (25 complete, 5 incomplete)",
                         "Identical copies not written again: 6",
                         "Messages that could not be written: 4",
                         "Messages of which nothing could be read: 1", "Unreadable sectors: 2"}));
        totals.uncertain = 3;
        QCOMPARE(ReportTitle("disk.img", totals),
                 QString("30 message(s) from 'disk.img' written (2 incomplete, 3 uncertain); 6 "
                         "identical copy(ies) not written again; 5 could not be written:"));
        QCOMPARE(TotalsLines(totals).at(2),
                 QString("Messages written: 30 (25 complete, 2 incomplete, 3 uncertain)"));
        QCOMPARE(TotalsSentence(totals),
                 QString("30 message(s) written (25 complete, 2 incomplete, 3 uncertain); 6 "
                         "identical copy(ies) not written again; 4 could not be written; 1 could "
                         "not be read."));
        QCOMPARE(ReportTitle("disk.img", Totals(2, 1, false)),
                 QString("2 message(s) from 'disk.img' written; 1 could not be written:"));
        QCOMPARE(TotalsLines(Totals(2, 1, false)),
                 QStringList({"Totals:", "Messages found: 3", "Messages written: 2",
                              "Messages that could not be written: 1"}));
    }
};

QTEST_GUILESS_MAIN(TestRunOutcome)
#include "tst_RunOutcome.moc"
