// The figures beside the gauge: speeds over the recent past, the time
// left of the scan and of the writing, and their texts.
#include <QtTest>

#include "RunProgress.h"

using namespace tolvan;

namespace {

// Feeds a number of stop questions (each kBytesPerQuestion of the scan).
void Scan(TRunProgress& progress, uint64_t bytes) {
    for (uint64_t i = 0; i < bytes / TRunProgress::kBytesPerQuestion; ++i) progress.CountQuestion();
}

}  // namespace

class TestRunProgress : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void timeLeftTexts_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << qint64(0) << "0 s";
        QTest::newRow("under a minute") << qint64(59) << "59 s";
        QTest::newRow("a minute") << qint64(60) << "1 min 00 s";
        QTest::newRow("under an hour") << qint64(3599) << "59 min 59 s";
        QTest::newRow("an hour") << qint64(3600) << "1 h 00 min";
        QTest::newRow("hours") << qint64(7322) << "2 h 02 min";
        QTest::newRow("negative") << qint64(-5) << "0 s";
    }
    void timeLeftTexts() {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(TimeLeftText(seconds), text);
    }

    void byteSizes_data() {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("bytes") << quint64(999) << "999 bytes";
        QTest::newRow("a kilobyte") << quint64(1000) << "1.0 KB";
        QTest::newRow("megabytes") << quint64(812400000) << "812.4 MB";
        QTest::newRow("rounds up into the next unit") << quint64(999960) << "1.0 MB";
        QTest::newRow("gigabytes") << quint64(3000000000ull) << "3.0 GB";
        QTest::newRow("thousands of gigabytes") << quint64(2000000000000ull) << "2.0 TB";
    }
    void byteSizes() {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(ByteSizeText(bytes), text);
    }

    // 1 GB a second over a 10 GB source: 9 seconds left after the first.
    void scanEstimate() {
        TRunProgress progress;
        progress.Start(0, 10000000000ull);
        QVERIFY(!progress.Due(TRunProgress::kRefreshMs - 1));
        QVERIFY(progress.Due(TRunProgress::kRefreshMs));
        Scan(progress, 1000000000);
        const TProgressFigures figures = progress.Sample(1000, 5, 0);
        QVERIFY(!figures.writing);
        QCOMPARE(figures.bytesScanned, quint64(1000000000));
        QCOMPARE(figures.bytesPerSecond, 1e9);
        QCOMPARE(figures.secondsLeft, qint64(9));
        QCOMPARE(ProgressFiguresText(figures),
                 QString("Scanned 1.0 GB of 10.0 GB at 1.0 GB/s, about 9 s left in the scan"));
    }

    // The speed is measured over the last few seconds only: after a stall
    // longer than that it is 0 and the time left unknown.
    void stallForgetsTheOldSpeed() {
        TRunProgress progress;
        progress.Start(0, 10000000000ull);
        Scan(progress, 1000000000);
        progress.Sample(1000, 5, 0);
        for (int64_t ms = 1250; ms <= 1000 + TRunProgress::kWindowMs + 500; ms += 250)
            progress.Sample(ms, 5, 0);
        const TProgressFigures figures =
            progress.Sample(1000 + TRunProgress::kWindowMs + 750, 5, 0);
        QCOMPARE(figures.bytesPerSecond, 0.0);
        QCOMPARE(figures.secondsLeft, qint64(-1));
        QCOMPARE(ProgressFiguresText(figures), QString("Scanned 1.0 GB of 10.0 GB"));
    }

    // Writing: the second half of the gauge follows the messages, so at
    // 75 % as many messages are still to come as were written.
    void writingEstimate() {
        TRunProgress progress;
        progress.Start(0, 1000);
        Scan(progress, 1000);
        progress.Sample(500, 50, 0);
        TProgressFigures figures =
            progress.Sample(1000, 51, 10);  // the first message: writing begins
        QVERIFY(figures.writing);
        QCOMPARE(figures.messagesPerSecond, 0.0);  // a fresh start for the speeds of writing
        figures = progress.Sample(3000, 75, 1010);
        QCOMPARE(figures.messagesPerSecond, 500.0);
        QCOMPARE(figures.secondsLeft, qint64(3));  // 1010 more at 500 a second
        QCOMPARE(ProgressFiguresText(figures),
                 QString("1,010 message(s) found, 500 messages/s, about 3 s left"));
        figures = progress.Sample(3500, 100, 1200);
        QCOMPARE(figures.secondsLeft, qint64(0));
    }

    // A source of unknown size: the bytes and the speed, no estimate.
    void unknownSourceSize() {
        TRunProgress progress;
        progress.Start(0, 0);
        Scan(progress, 2000000);
        const TProgressFigures figures = progress.Sample(2000, 0, 0);
        QCOMPARE(ProgressFiguresText(figures), QString("Scanned 2.0 MB at 1.0 MB/s"));
    }
};

QTEST_GUILESS_MAIN(TestRunProgress)
#include "tst_RunProgress.moc"
