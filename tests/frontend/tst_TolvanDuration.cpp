// The two consumed-time texts: hours of the day only, no leading zeros.
#include <QtTest>

#include "TolvanDuration.h"

using namespace tolvan;

class TestTolvanDuration : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void texts_data() {
        QTest::addColumn<qint64>("milliseconds");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("line");
        QTest::newRow("zero") << qint64(0) << "0 hour(s) 0 minute(s) 0 second(s)"
                              << "Consumed time: 0 hour(s) 0 minute(s) 0 second(s) 0 millisecond(s).";
        QTest::newRow("2 minutes 5.03 seconds")
            << qint64(125030) << "0 hour(s) 2 minute(s) 5 second(s)"
            << "Consumed time: 0 hour(s) 2 minute(s) 5 second(s) 30 millisecond(s).";
        QTest::newRow("just under an hour")
            << qint64(3599999) << "0 hour(s) 59 minute(s) 59 second(s)"
            << "Consumed time: 0 hour(s) 59 minute(s) 59 second(s) 999 millisecond(s).";
        QTest::newRow("25 hours count as 1") << qint64(25 * 3600000LL + 61000) << "1 hour(s) 1 minute(s) 1 second(s)"
                                             << "Consumed time: 1 hour(s) 1 minute(s) 1 second(s) 0 millisecond(s).";
        QTest::newRow("a clock that went back") << qint64(-5) << "0 hour(s) 0 minute(s) 0 second(s)"
                                                << "Consumed time: 0 hour(s) 0 minute(s) 0 second(s) 0 millisecond(s).";
    }
    void texts() {
        QFETCH(qint64, milliseconds);
        QFETCH(QString, label);
        QFETCH(QString, line);
        QCOMPARE(ConsumedTimeText(milliseconds), label);
        QCOMPARE(ConsumedTimeLine(milliseconds), line);
    }
};

QTEST_GUILESS_MAIN(TestTolvanDuration)
#include "tst_TolvanDuration.moc"
