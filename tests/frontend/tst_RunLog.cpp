// The window's own lines of the recovery log, around the engine's.
#include <QtTest>

#include "RunLog.h"

using namespace tolvan;

namespace {

const QString kSeparator(56, QLatin1Char('-'));

}  // namespace

class TestRunLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void opening() {
        QCOMPARE(OpeningLines(), QStringList({"Start recovery process ...", kSeparator}));
    }

    // The mode and the problem lines appear only when there is something
    // to say; the size has thousands separators.
    void sourceLines_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<QStringList>("lines");
        const QString source =
            "Drive or disk to be recovered: 'disk.img'; Total size = 1,234,567 bytes";
        const QString output = "Output recovered messages to: 'out'";
        QTest::newRow("plain") << ""
                               << "" << QStringList({source, output, kSeparator});
        QTest::newRow("with the mode")
            << "Linking: store by store"
            << "" << QStringList({source, output, "Linking: store by store", kSeparator});
        QTest::newRow("with a problem")
            << "Linking: store by store"
            << "The source 'disk.img' is empty."
            << QStringList({source, output, "Linking: store by store",
                            "The source 'disk.img' is empty.", kSeparator});
    }
    void sourceLines() {
        QFETCH(QString, mode);
        QFETCH(QString, problem);
        QFETCH(QStringList, lines);
        QCOMPARE(SourceLines("disk.img", 1234567, "out", mode, problem), lines);
    }

    void closing() {
        QCOMPARE(ClosingLines(125030),
                 QStringList({kSeparator,
                              "Consumed time: 0 hour(s) 2 minute(s) 5 second(s) 30 millisecond(s).",
                              kSeparator, "Recovery process completes.", kSeparator}));
    }
};

QTEST_GUILESS_MAIN(TestRunLog)
#include "tst_RunLog.moc"
