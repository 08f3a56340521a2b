// The report model, the report window and the summary dialog: rows read
// by index arithmetic from the cells or from the engine's records, sorting
// and filtering, column widths, the title, opening a message, exporting
// the CSV, the dialog's layout to its message, and the report button.
#include <QtTest>

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include "MsgFrm.h"
#include "ReportCsv.h"
#include "ReportFrm.h"
#include "ReportModel.h"
#include "ScriptedPrompts.h"
#include "TolvanLook.h"

using namespace tolvan;
using namespace tolvan::testing;

namespace {

QStringList Cells(int columns, int messages) {
    QStringList cells;
    for (int i = 0; i < columns; ++i) cells << QString("Title %1").arg(i);
    for (int m = 1; m <= messages; ++m)
        for (int i = 0; i < columns; ++i) cells << QString("r%1c%2").arg(m).arg(i);
    return cells;
}

QStringList Row(const QAbstractItemModel& model, int row) {
    QStringList texts;
    for (int c = 0; c < model.columnCount(); ++c) texts << model.index(row, c).data().toString();
    return texts;
}

QStringList Column(const QAbstractItemModel& model, int column) {
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r) texts << model.index(r, column).data().toString();
    return texts;
}

// A report of cells alone, as a run without records leaves it.
TRunReport CellReport(const QString& source, const QStringList& cells, int32_t columns) {
    TRunReport report;
    report.source = source;
    report.cells = &cells;
    report.columns = columns;
    return report;
}

TMessageRecord Written(uint32_t number, const QString& subject, const QString& file, uint64_t bytes,
                       uint32_t incomplete = 0) {
    TMessageRecord record;
    record.number = number;
    record.subject = subject;
    record.path = "/out/" + file;
    record.bytes = bytes;
    record.incomplete = incomplete;
    record.chainEnd = incomplete & VARROW_INCOMPLETE_END ? VARROW_END_NEXT_MISSING : VARROW_END_COMPLETE;
    return record;
}

// Five copies: complete, incomplete (its end missing), an identical copy
// of the first, one that could not be written, a dated one with a sender.
QList<TMessageRecord> SampleRecords() {
    QList<TMessageRecord> records{Written(1, "Quarterly figures", "Quarterly figures.eml", 2048),
                                  Written(2, "lunch?", "lunch_.eml", 900, VARROW_INCOMPLETE_END),
                                  Written(1, "Quarterly figures", "", 2048), Written(3, "Zebra, crossing", "", 10),
                                  Written(4, "=HYPERLINK(\"x\")", "sub/Recovered_Msg1/=HYPERLINK(_x_).eml", 100000)};
    records[2].copy = 2;
    records[2].outcome = VARROW_COPY_DUPLICATE;
    records[2].path.clear();
    records[2].duplicateOfNumber = 1;
    records[2].duplicateOfCopy = 1;
    records[3].outcome = VARROW_COPY_FAILED;
    records[3].path.clear();
    records[4].hasDate = true;
    records[4].date = 1079532300;  // 2004-03-17 14:05 UTC
    records[4].from = "Anna <anna@example.org>";
    return records;
}

TRunReport RecordReport(const QList<TMessageRecord>& records, const QStringList& cells) {
    TRunReport report = CellReport("disk.img", cells, 2);
    report.outputFolder = "/out";
    report.records = &records;
    report.totals.fromRecords = true;
    report.totals.found = 5;
    report.totals.written = 3;
    report.totals.complete = 2;
    report.totals.incomplete = 1;
    report.totals.duplicates = 1;
    report.totals.failed = 1;
    return report;
}

}  // namespace

class TestReportFrm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowsAndColumns_data() {
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("lastRow");
        QTest::newRow("only the titles") << QStringList{"Message No.", "Subject"} << 2 << 0 << QStringList{};
        QTest::newRow("five cells, two columns: the fifth is not shown")
            << QStringList{"Message No.", "Subject", "1", "Hello", "2"} << 2 << 1 << QStringList{"1", "Hello"};
        QTest::newRow("three columns") << Cells(3, 4) << 3 << 4 << QStringList{"r4c0", "r4c1", "r4c2"};
        QTest::newRow("no columns") << QStringList{"a", "b"} << 0 << 0 << QStringList{};
        QTest::newRow("negative column count") << QStringList{"a", "b"} << -2 << 0 << QStringList{};
        QTest::newRow("fewer cells than titles") << QStringList{"only"} << 2 << 0 << QStringList{};
        QTest::newRow("no cells") << QStringList{} << 2 << 0 << QStringList{};
    }
    void rowsAndColumns() {
        QFETCH(QStringList, cells);
        QFETCH(int, columns);
        QFETCH(int, rows);
        QFETCH(QStringList, lastRow);
        TReportModel model(cells, columns);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), rows);
        QCOMPARE(model.columnCount(), qMax(columns, 0));
        if (rows > 0) QCOMPARE(Row(model, rows - 1), lastRow);
        for (int i = 0; i < model.columnCount(); ++i)
            QCOMPARE(model.headerData(i, Qt::Horizontal).toString(), i < cells.size() ? cells[i] : QString());
        QVERIFY(!model.index(rows, 0).isValid());
    }

    // The model reads the caller's list, not a copy of it.
    void readsTheCellsInPlace() {
        QStringList cells{"Message No.", "Subject", "1", "Before"};
        TReportModel model(cells, 2);
        cells[3] = "After";
        QCOMPARE(model.index(0, 1).data().toString(), QString("After"));
    }

    void columnWidths_data() {
        QTest::addColumn<int>("columns");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
        QTest::newRow("three") << 3;
        QTest::newRow("eight: the share is raised to 90") << 8;
    }
    void columnWidths() {
        QFETCH(int, columns);
        const QStringList cells = Cells(columns, 3);
        TReportForm report(nullptr, nullptr, nullptr, nullptr, CellReport("disk.img", cells, columns));
        QVERIFY2(report.ListWidth() > 400 && report.ListWidth() < 458, qPrintable(QString::number(report.ListWidth())));  // the list inside the 458-pixel panel
        const int share = qMax(90, report.ListWidth() / columns);
        for (int i = 0; i < columns; ++i) {
            const int expected = i == 0 ? 85 : i == 1 ? 370 : share;
            QCOMPARE(report.ReportList->columnWidth(i), expected);
        }
        if (columns == 8) QCOMPARE(share, 90);
    }

    void reportWindow() {
        const QStringList cells{"Message No.", "Subject", "1", "Hello", "2", "Re: Hello"};
        TFormLook form;
        TControlLook control = TControlLook::Standard();
        THintComponent hints = THintComponent::Standard();
        TRunReport run = CellReport("/dev/sdb1  (Fixed Drive)", cells, 2);
        run.totals.found = 2;
        run.totals.written = 2;
        TReportForm report(nullptr, &form, &control, &hints, run);
        QCOMPARE(report.size(), QSize(495, 522));  // without records: the list of number and subject
        QCOMPARE(report.minimumSize(), QSize(495, 522));
        QCOMPARE(report.labTitle->text(), QString("2 message(s) from '/dev/sdb1  (Fixed Drive)' written; 0 could not be written:"));
        QVERIFY(report.labTitle->font().bold());
        QCOMPARE(report.btnClose->text(), QString("&Close"));
        QVERIFY(!report.cmbCompleteness->isEnabled() && report.btnExport->isEnabled());
        QVERIFY(report.btnOpen->isHidden() && report.txtPreview->isHidden());  // no files to open
        QCOMPARE(report.palette().color(QPalette::Window), QColor(238, 247, 255));
        QCOMPARE(report.ReportList->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(report.ReportList->font().pixelSize(), 14);
        QCOMPARE(Row(*report.ReportList->model(), 1), QStringList({"2", "Re: Hello"}));
        report.show();
        QTest::keyClick(&report, Qt::Key_Escape);
        QCOMPARE(report.result(), int(QDialog::Rejected));
    }

    // A long source name is shortened in the middle; the hint keeps it whole.
    void longSourceNameIsShortened() {
        const QString source = "/srv/" + QString(200, 'x') + "/disk.img";
        const QStringList cells{"Message No.", "Subject"};
        TReportForm report(nullptr, nullptr, nullptr, nullptr, CellReport(source, cells, 2));
        report.show();
        QVERIFY(report.labTitle->text().startsWith("0 message(s) from '/srv/"));
        QVERIFY(report.labTitle->text().contains(QChar(0x2026)) && report.labTitle->text().contains("disk.img'"));
        QVERIFY(report.labTitle->fontMetrics().horizontalAdvance(report.labTitle->text()) < 2 * report.labTitle->width());
        QCOMPARE(report.labTitle->toolTip(), QString("0 message(s) from '%1' written; 0 could not be written:").arg(source));
    }

    // The buttons sit 14 pixels under the wrapped message and the dialog
    // grows with it; the width never changes.
    void summaryLaysItselfOutToItsMessage_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("short") << "The Outlook Express data on 'a' are recoverable.";
        QTest::newRow("long") << QString("The Outlook Express data on '%1' are recoverable.").arg(QString(60, 'y').replace("yyy", "yy "));
    }
    void summaryLaysItselfOutToItsMessage() {
        QFETCH(QString, text);
        const QStringList cells{"Message No.", "Subject"};
        TMsgForm summary(nullptr, nullptr, nullptr, nullptr, text, CellReport("a", cells, 2));
        summary.show();
        const int label = summary.labMsg->height();
        QCOMPARE(label, summary.labMsg->heightForWidth(399));
        QCOMPARE(summary.labMsg->geometry().topLeft(), QPoint(58, 8));
        QCOMPARE(summary.labMsg->width(), 399);
        QCOMPARE(summary.btnReport->y(), 8 + label + 14);
        QCOMPARE(summary.btnClose->y(), 8 + label + 14);
        QCOMPARE(summary.height(), label + summary.btnClose->height() + 69 - TTolvanMsgForm::kFrameAllowance);
        QCOMPARE(summary.width(), 482);
        QCOMPARE(summary.windowTitle(), QString("Information"));
        QCOMPARE(summary.btnReport->text(), QString("&Show Recovery Report"));
        QCOMPARE(summary.btnReport->geometry().left(), 57);
        QCOMPARE(summary.btnReport->width(), 158);
        QCOMPARE(summary.btnClose->geometry().left(), 351);
        QVERIFY(summary.btnReport->isDefault());
        QVERIFY(summary.labMsg->text().startsWith(text + " "));
    }

    void summaryWithoutCells() {
        ScriptedPrompts prompts;
        const TPromptsOverride answers(prompts);
        TMsgForm summary(nullptr, nullptr, nullptr, nullptr, "Done.", TRunReport());
        summary.btnReport->click();
        QCOMPARE(prompts.shown, QStringList{"error: Invalid recovery report!"});
    }

    // Twice in a row: two reports, each built afresh from the same cells.
    void reportOpenedTwice() {
        ScriptedPrompts prompts;
        const TPromptsOverride answers(prompts);
        QStringList cells{"Message No.", "Subject", "1", "First"};
        QList<int> rows;
        prompts.onDialog = [&](QDialog& dialog) {
            rows << static_cast<TReportForm&>(dialog).Model->rowCount();
            return int(QDialog::Rejected);
        };
        TMsgForm summary(nullptr, nullptr, nullptr, nullptr, "Done.", CellReport("disk.img", cells, 2));
        summary.btnReport->click();
        cells << "2" << "Second";
        summary.btnReport->click();
        QCOMPARE(rows, QList<int>({1, 2}));
    }

    // With records: one row per handled copy, the file below the output
    // folder, what became of each copy, its reason as a hint.
    void recordRows() {
        const QList<TMessageRecord> records = SampleRecords();
        const QStringList cells{"Message No.", "Subject"};
        TReportModel model(RecordReport(records, cells));
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.columnCount(), 8);
        QStringList titles;
        for (int i = 0; i < 8; ++i) titles << model.headerData(i, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Message No.", "Subject", "File", "Size", "Date", "From", "Complete", "Duplicate of"}));
        QCOMPARE(Row(model, 0), QStringList({"1", "Quarterly figures", "Quarterly figures.eml", "2,048", "", "", "Yes", ""}));
        QCOMPARE(Row(model, 2), QStringList({"1 (copy 2)", "Quarterly figures", "", "2,048", "", "", "Identical copy", "1"}));
        QCOMPARE(Row(model, 3)[6], QString("Not written"));
        QCOMPARE(Row(model, 4)[2], QString("sub/Recovered_Msg1/=HYPERLINK(_x_).eml"));
        QCOMPARE(Row(model, 4)[4], RecordDateText(records[4]));
        QVERIFY(RecordDateText(records[4]).startsWith("2004-03-1"));
        QCOMPARE(model.index(1, TReportModel::kComplete).data(Qt::ToolTipRole).toString(),
                 QString("end missing (next block not found)"));
        QCOMPARE(model.index(3, TReportModel::kComplete).data(Qt::ToolTipRole).toString(),
                 QString("not written: the file could not be created"));
        // A continuation chosen among rivals is doubt, not a known loss.
        TMessageRecord guessed = records[0];
        guessed.incomplete = VARROW_INCOMPLETE_UNCERTAIN;
        QCOMPARE(CompleteText(guessed), QString("Uncertain"));
        guessed.incomplete |= VARROW_INCOMPLETE_BEGINNING;
        QCOMPARE(CompleteText(guessed), QString("No"));
        QVERIFY(IncompleteReason(guessed).startsWith("beginning missing; continuation uncertain"));
        QCOMPARE(model.index(1, TReportModel::kSubject).data(Qt::ToolTipRole).toString(), QString("lunch?"));
        QCOMPARE(model.index(0, TReportModel::kSize).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(model.FilePath(0), QString("/out/Quarterly figures.eml"));
        QCOMPARE(model.FilePath(2), QString());
    }

    // Every column sorts, numbers and sizes by value, texts without regard
    // to case; ties keep their order; descending reverses.
    void sorting_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("order");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("number") << int(TReportModel::kNumber) << int(Qt::AscendingOrder)
                                << QStringList({"1", "1 (copy 2)", "2", "3", "4"});
        QTest::newRow("number, descending") << int(TReportModel::kNumber) << int(Qt::DescendingOrder)
                                            << QStringList({"4", "3", "2", "1 (copy 2)", "1"});
        QTest::newRow("subject") << int(TReportModel::kSubject) << int(Qt::AscendingOrder)
                                 << QStringList({"4", "2", "1", "1 (copy 2)", "3"});
        QTest::newRow("size") << int(TReportModel::kSize) << int(Qt::AscendingOrder)
                              << QStringList({"3", "2", "1", "1 (copy 2)", "4"});
        QTest::newRow("date: undated first") << int(TReportModel::kDate) << int(Qt::DescendingOrder)
                                             << QStringList({"4", "1", "2", "1 (copy 2)", "3"});
        QTest::newRow("complete") << int(TReportModel::kComplete) << int(Qt::AscendingOrder)
                                  << QStringList({"1 (copy 2)", "2", "3", "1", "4"});
    }
    void sorting() {
        QFETCH(int, column);
        QFETCH(int, order);
        QFETCH(QStringList, numbers);
        const QList<TMessageRecord> records = SampleRecords();
        const QStringList cells;
        TReportModel model(RecordReport(records, cells));
        model.sort(column, Qt::SortOrder(order));
        QCOMPARE(Column(model, TReportModel::kNumber), numbers);
    }

    // The filter narrows by subject, sender or file, without regard to
    // case; the choice keeps the complete or the incomplete ones.
    void filtering_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("completeness");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("everything") << "" << 0 << QStringList({"1", "2", "1 (copy 2)", "3", "4"});
        QTest::newRow("subject") << "QUARTERLY" << 0 << QStringList({"1", "1 (copy 2)"});
        QTest::newRow("sender") << "anna@" << 0 << QStringList({"4"});
        QTest::newRow("file, below the output folder") << "recovered_msg1" << 0 << QStringList({"4"});
        QTest::newRow("not the output folder itself") << "out" << 0 << QStringList{};
        QTest::newRow("complete only") << "" << 1 << QStringList({"1", "4"});
        QTest::newRow("incomplete only") << "" << 2 << QStringList({"2", "1 (copy 2)", "3"});
        QTest::newRow("both") << "lunch" << 2 << QStringList({"2"});
    }
    void filtering() {
        QFETCH(QString, text);
        QFETCH(int, completeness);
        QFETCH(QStringList, numbers);
        const QList<TMessageRecord> records = SampleRecords();
        const QStringList cells;
        TReportModel model(RecordReport(records, cells));
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.sort(TReportModel::kSubject, Qt::DescendingOrder);
        model.SetFilter(text, TReportModel::TCompleteness(completeness));
        model.sort(-1);  // back to the order they came in
        QCOMPARE(Column(model, TReportModel::kNumber), numbers);
        QCOMPARE(model.TotalRows(), 5);
    }

    // Without records the cells sort (numbers by value) and filter too.
    void cellsSortAndFilter() {
        const QStringList cells{"Message No.", "Subject", "9", "b", "10", "A", "2", "c"};
        TReportModel model(cells, 2);
        model.sort(0, Qt::AscendingOrder);
        QCOMPARE(Column(model, 0), QStringList({"2", "9", "10"}));
        model.sort(1, Qt::AscendingOrder);
        QCOMPARE(Column(model, 1), QStringList({"A", "b", "c"}));
        model.SetFilter("B", TReportModel::TCompleteness::IncompleteOnly);  // no records: no completeness
        QCOMPARE(Column(model, 0), QStringList({"9"}));
    }

    // The window over records: its title, Home and End, Enter and a
    // double-click open the message in the preview pane, the mail program.
    void reportWindowWithRecords() {
        ScriptedPrompts prompts;
        const TPromptsOverride answers(prompts);
        QTemporaryDir folder;
        QList<TMessageRecord> records = SampleRecords();
        QFile message(folder.filePath("Quarterly figures.eml"));
        QVERIFY(message.open(QIODevice::WriteOnly));
        message.write("From: Bob <bob@example.org>\r\nSubject: Quarterly figures\r\n\r\nSee the attached draft.\r\n");
        message.close();
        records[0].path = message.fileName();
        const QStringList cells;
        TRunReport run = RecordReport(records, cells);
        run.outputFolder = folder.path();
        TReportForm report(nullptr, nullptr, nullptr, nullptr, run);
        report.show();
        QVERIFY(QTest::qWaitForWindowExposed(&report));
        QCOMPARE(report.Title, QString("3 message(s) from 'disk.img' written (1 incomplete); 1 identical copy(ies) not "
                                       "written again; 1 could not be written:"));
        QVERIFY(report.width() > TReportForm::kWidth && report.cmbCompleteness->isEnabled());
        QCOMPARE(report.ReportList->columnWidth(TReportModel::kSubject), 230);

        report.ReportList->setFocus();
        report.ReportList->setCurrentIndex(report.Model->index(2, TReportModel::kSubject));
        QTest::keyClick(report.ReportList, Qt::Key_End);
        QCOMPARE(report.ReportList->currentIndex().row(), 4);
        QCOMPARE(report.ReportList->currentIndex().column(), int(TReportModel::kSubject));
        QTest::keyClick(report.ReportList, Qt::Key_Home);
        QCOMPARE(report.ReportList->currentIndex().row(), 0);
        QTest::keyClick(report.ReportList, Qt::Key_Return);
        QVERIFY(report.isVisible());  // Enter opened the message, not the default button
        QVERIFY2(report.txtPreview->toPlainText().contains("From: Bob <bob@example.org>"),
                 qPrintable(report.txtPreview->toPlainText()));
        QVERIFY(report.txtPreview->toPlainText().contains("See the attached draft."));

        // A double click is a press and release followed by the double click.
        const QRect cell = report.ReportList->visualRect(report.Model->index(3, 0));
        QTest::mouseClick(report.ReportList->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(report.ReportList->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(report.txtPreview->toPlainText(),
                 QString("Message 3 was not written to a file: not written: the file could not be created."));

        report.ReportList->setCurrentIndex(report.Model->index(0, 0));
        report.btnOpen->click();
        QCOMPARE(prompts.opened, QList<QUrl>{QUrl::fromLocalFile(message.fileName())});

        report.txtFilter->setText("lunch");
        QCOMPARE(report.Model->rowCount(), 1);
        report.cmbCompleteness->setCurrentIndex(1);  // complete only
        QCOMPARE(report.Model->rowCount(), 0);
    }

    // Export writes the CSV of the report; a file that cannot be written
    // gives an error box.
    void exportWritesTheCsv() {
        ScriptedPrompts prompts;
        const TPromptsOverride answers(prompts);
        QTemporaryDir folder;
        const QList<TMessageRecord> records = SampleRecords();
        const QStringList cells;
        const TRunReport run = RecordReport(records, cells);
        TReportForm report(nullptr, nullptr, nullptr, nullptr, run);
        prompts.saveAnswer = folder.filePath("report.csv");
        report.btnExport->click();
        QFile written(prompts.saveAnswer);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), ReportCsv(run));
        QVERIFY(prompts.shown.isEmpty());
        prompts.saveAnswer = folder.filePath("no-such-folder/report.csv");
        report.btnExport->click();
        QCOMPARE(prompts.shown.size(), 1);
        QVERIFY(prompts.shown[0].startsWith("error: Cannot write the report to"));
    }

    // The CSV: quoted where needed, formulas neutralised, one row per copy.
    void csvRows() {
        QCOMPARE(CsvRecord({"plain", "a,b", "say \"hi\"", "=1+1", "-x", "@me", "+", "line\nbreak", ""}),
                 QByteArray("plain,\"a,b\",\"say \"\"hi\"\"\",'=1+1,'-x,'@me,'+,\"line\nbreak\",\r\n"));
        const QStringList cells{"Message No.", "Subject", "1", "Hello, world"};
        QCOMPARE(ReportCsv(CellReport("d", cells, 2)), QByteArray("Message No.,Subject\r\n1,\"Hello, world\"\r\n"));
        const QList<TMessageRecord> records = SampleRecords();
        const QList<QByteArray> lines = ReportCsv(RecordReport(records, cells)).split('\n');
        QCOMPARE(lines.size(), 1 + 5 + 1);  // titles, five copies, the empty rest after the last line end
        QCOMPARE(lines[0], QByteArray("Message No.,Subject,Copy,File,Size,Blocks,First block,Complete,Why incomplete,"
                                      "Duplicate of,Date,From\r"));
        QCOMPARE(lines[1], QByteArray("1,Quarterly figures,1,Quarterly figures.eml,2048,0,,yes,,,,\r"));
        QCOMPARE(lines[2], QByteArray("2,lunch?,1,lunch_.eml,900,0,,no,end missing,,,\r"));
        QCOMPARE(lines[3], QByteArray("1,Quarterly figures,2,,2048,0,,yes,,1/1,,\r"));
        QCOMPARE(lines[4], QByteArray("3,\"Zebra, crossing\",1,(could not be written),10,0,,yes,,,,\r"));
        QCOMPARE(lines[5], QByteArray("4,\"'=HYPERLINK(\"\"x\"\")\",1,sub/Recovered_Msg1/=HYPERLINK(_x_).eml,100000,0,,"
                                      "yes,,,2004-03-17T14:05:00Z,Anna <anna@example.org>\r"));
    }

    // Measured, not asserted: sorting and filtering 200000 records.
    void largeRecordReportSortsAtOnce() {
        QList<TMessageRecord> records;
        records.reserve(200000);
        for (uint32_t m = 1; m <= 200000; ++m)
            records.append(Written(m, QString("Subject %1").arg((m * 7919) % 200000), QString("Subject %1.eml").arg(m), m));
        const QStringList cells;
        TReportModel model(RecordReport(records, cells));
        QElapsedTimer clock;
        clock.start();
        model.sort(TReportModel::kSubject, Qt::AscendingOrder);
        const qint64 sorted = clock.restart();
        model.SetFilter("Subject 1", TReportModel::TCompleteness::CompleteOnly);
        qInfo("200000 records: sorted by subject in %lld ms, filtered in %lld ms (%d rows)", sorted, clock.elapsed(),
              model.rowCount());
        QCOMPARE(model.index(0, TReportModel::kSubject).data().toString(), QString("Subject 1"));
    }

    // Measured, not asserted: how long 200000 messages take to open.
    void largeReportOpensAtOnce() {
        QStringList cells{"Message No.", "Subject"};
        cells.reserve(2 + 2 * 200000);
        for (int m = 1; m <= 200000; ++m) cells << QString::number(m) << QString("Subject of message %1").arg(m);
        QElapsedTimer clock;
        clock.start();
        TReportForm report(nullptr, nullptr, nullptr, nullptr, CellReport("big.img", cells, 2));
        report.show();
        QCoreApplication::processEvents();
        const qint64 opened = clock.elapsed();
        report.ReportList->scrollToBottom();
        QCoreApplication::processEvents();
        qInfo("200000-row report: constructed, shown and painted in %lld ms; scrolled to the end after %lld ms",
              opened, clock.elapsed());
        QCOMPARE(report.ReportList->model()->rowCount(), 200000);
        QCOMPARE(Row(*report.ReportList->model(), 199999), QStringList({"200000", "Subject of message 200000"}));
    }
};

QTEST_MAIN(TestReportFrm)
#include "tst_ReportFrm.moc"
