// The product's handling of log lines, errors, report cells, columns and
// alerts, sent through OnMessage as the engine sends them.
#include <QtTest>

#include "FakeWindow.h"

using namespace tolvan;
using namespace tolvan::testing;

class TestEngineEvents : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void logLines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("line");
        QTest::newRow("a lone hyphen is the separator") << QByteArray("-") << kSeparator;
        QTest::newRow("two hyphens stay") << QByteArray("--") << "--";
        QTest::newRow("hyphen and blank stay") << QByteArray("- ") << "- ";
        QTest::newRow("UTF-8 text") << QByteArray("Gr\xc3\xbc\xc3\x9f" "e") << "Grüße";
    }
    void logLines() {
        QFETCH(QByteArray, text);
        QFETCH(QString, line);
        FakeWindow window;
        QVERIFY(!window.Send(EV_LOG, text.constData()));
        QCOMPARE(window.log.lines, QStringList{line});
    }

    void errorAddsExactlyThreeLines() {
        FakeWindow window;
        QVERIFY(!window.Send(EV_ERROR, "x"));
        QCOMPARE(window.log.lines, QStringList({kSeparator, "x", kSeparator}));
    }

    void reportCellsAndColumns() {
        FakeWindow window;
        const int32_t columns = 2;
        QVERIFY(!window.Send(EV_REPORT_COLUMNS, &columns));
        const QStringList cells = {"Message No.", "Subject", "1", "Hello", "2", "Re: Hello"};
        for (const QString& cell : cells) QVERIFY(!window.Send(EV_REPORT_CELL, cell.toUtf8().constData()));
        QCOMPARE(window.events.ReportColumns, 2);
        QCOMPARE(window.events.ReportCells, cells);
        QVERIFY(window.log.lines.isEmpty());
        window.events.AfterRecovery();
        QCOMPARE(window.events.ReportColumns, 0);
        QVERIFY(window.events.ReportCells.isEmpty());
    }

    void alertShowsOneBox() {
        FakeWindow window;
        QVERIFY(!window.Send(EV_ALERT, "Close the other program."));
        QCOMPARE(window.alerts.shown, QStringList{"Close the other program."});
        QVERIFY(window.log.lines.isEmpty());
    }

    void sourceChangesNothing() {
        FakeWindow window;
        window.gauge.position = 42;
        QVERIFY(!window.Send(EV_SOURCE, "/dev/sdb"));
        QVERIFY(!window.Send(12, "unknown"));
        QVERIFY(window.log.lines.isEmpty() && window.alerts.shown.isEmpty() && window.progressLabel.texts.isEmpty());
        QVERIFY(window.events.ReportCells.isEmpty());
        QCOMPARE(window.events.ReportColumns, 0);
        QCOMPARE(window.gauge.position, 42);
        QCOMPARE(window.pump.pumps, 0);
    }
};

QTEST_GUILESS_MAIN(TestEngineEvents)
#include "tst_EngineEvents.moc"
