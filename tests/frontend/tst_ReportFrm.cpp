// The report model, the report window and the summary dialog: rows read
// by index arithmetic from the cells, column widths, the title, the
// dialog's layout to its message, and the report button.
#include <QtTest>

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include "MsgFrm.h"
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
        TReportForm report(nullptr, nullptr, nullptr, nullptr, "disk.img", cells, columns);
        QVERIFY(report.ListWidth() > 400 && report.ListWidth() < 458);  // the list inside the 458-pixel panel
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
        TReportForm report(nullptr, &form, &control, &hints, "/dev/sdb1  (Fixed Drive)", cells, 2);
        QCOMPARE(report.size(), QSize(495, 522));
        QCOMPARE(report.minimumSize(), report.maximumSize());
        QCOMPARE(report.labTitle->text(), QString("Totally 2 message(s) in '/dev/sdb1  (Fixed Drive)' are recoverable:"));
        QCOMPARE(report.labTitle->pos(), QPoint(15, 8));
        QVERIFY(report.labTitle->font().bold());
        QCOMPARE(report.btnClose->geometry(), QRect(370, 478, 100, 25));
        QCOMPARE(report.btnClose->text(), QString("&Close"));
        QCOMPARE(report.Panel->geometry(), QRect(14, 32, 458, 433));
        QCOMPARE(report.palette().color(QPalette::Window), QColor(238, 247, 255));
        QCOMPARE(report.ReportList->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(report.ReportList->font().pixelSize(), 14);
        QCOMPARE(Row(*report.ReportList->model(), 1), QStringList({"2", "Re: Hello"}));
        report.show();
        QTest::keyClick(&report, Qt::Key_Escape);
        QCOMPARE(report.result(), int(QDialog::Rejected));
    }

    // A long source name is shortened in the middle to fit; the hint keeps it whole.
    void longSourceNameIsShortened() {
        const QString source = "/srv/" + QString(200, 'x') + "/disk.img";
        const QStringList cells{"Message No.", "Subject"};
        TReportForm report(nullptr, nullptr, nullptr, nullptr, source, cells, 2);
        QVERIFY(report.labTitle->fontMetrics().horizontalAdvance(report.labTitle->text()) <= report.labTitle->width());
        QVERIFY(report.labTitle->text().startsWith("Totally 0 message(s) in '/srv/"));
        QCOMPARE(report.labTitle->toolTip(), QString("Totally 0 message(s) in '%1' are recoverable:").arg(source));
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
        TMsgForm summary(nullptr, nullptr, nullptr, nullptr, text, "a", &cells, 2);
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
        TMsgForm summary(nullptr, nullptr, nullptr, nullptr, "Done.", "a", nullptr, 2);
        summary.btnReport->click();
        QCOMPARE(prompts.shown, QStringList{"error: Invalid recovery report!"});
    }

    // Twice in a row: two reports, each built afresh from the same cells.
    void reportOpenedTwice() {
        ScriptedPrompts prompts;
        const TPromptsOverride answers(prompts);
        QStringList cells{"Message No.", "Subject", "1", "First"};
        QStringList titles;
        prompts.onDialog = [&](QDialog& dialog) {
            titles << static_cast<TReportForm&>(dialog).labTitle->text();
            return int(QDialog::Rejected);
        };
        TMsgForm summary(nullptr, nullptr, nullptr, nullptr, "Done.", "disk.img", &cells, 2);
        summary.btnReport->click();
        cells << "2" << "Second";
        summary.btnReport->click();
        QCOMPARE(titles, QStringList({"Totally 1 message(s) in 'disk.img' are recoverable:",
                                      "Totally 2 message(s) in 'disk.img' are recoverable:"}));
    }

    // Measured, not asserted: how long 200000 messages take to open.
    void largeReportOpensAtOnce() {
        QStringList cells{"Message No.", "Subject"};
        cells.reserve(2 + 2 * 200000);
        for (int m = 1; m <= 200000; ++m) cells << QString::number(m) << QString("Subject of message %1").arg(m);
        QElapsedTimer clock;
        clock.start();
        TReportForm report(nullptr, nullptr, nullptr, nullptr, "big.img", cells, 2);
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
