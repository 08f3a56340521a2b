// The command line: which parameter names the source and the output
// folder, and which switches are present.
#include <QtTest>

#include "TolvanCommandLine.h"

using namespace tolvan;

class TestTolvanCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("open");
        QTest::addColumn<bool>("exit");
        QTest::newRow("image only") << QStringList{"disk.img"} << "disk.img" << "" << false << false;
        QTest::newRow("absolute paths are no switches")
            << QStringList{"/srv/disk.img", "/srv/out"} << "/srv/disk.img" << "/srv/out" << false << false;
        QTest::newRow("switches anywhere") << QStringList{"a.img", "-e", "out", "-o"} << "a.img" << "out" << true << true;
        QTest::newRow("case does not matter") << QStringList{"-O", "-E", "a.img"} << "a.img" << "" << true << true;
        QTest::newRow("only switches") << QStringList{"-o", "-e"} << "" << "" << true << true;
        QTest::newRow("a longer switch is another") << QStringList{"-open", "a.img"} << "a.img" << "" << false << false;
        QTest::newRow("third name ignored") << QStringList{"a", "b", "c"} << "a" << "b" << false << false;
        QTest::newRow("nothing") << QStringList{} << "" << "" << false << false;
    }
    void parse() {
        QFETCH(QStringList, parameters);
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(bool, open);
        QFETCH(bool, exit);
        const TCommandLine line = ParseCommandLine(parameters);
        QCOMPARE(line.source, source);
        QCOMPARE(line.destination, destination);
        QCOMPARE(line.Has('o'), open);
        QCOMPARE(line.Has('O'), open);
        QCOMPARE(line.Has('e'), exit);
    }

    void help_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("help");
        QTest::newRow("--help") << QStringList{"--help"} << true;
        QTest::newRow("-h among others") << QStringList{"disk.img", "-h"} << true;
        QTest::newRow("-H") << QStringList{"-H"} << true;
        QTest::newRow("-?") << QStringList{"-?"} << true;
        QTest::newRow("a file named help") << QStringList{"help"} << false;
        QTest::newRow("--helpful") << QStringList{"--helpful"} << false;
        QTest::newRow("nothing") << QStringList{} << false;
    }
    void help() {
        QFETCH(QStringList, parameters);
        QFETCH(bool, help);
        QCOMPARE(HelpRequested(parameters), help);
    }
};

QTEST_GUILESS_MAIN(TestTolvanCommandLine)
#include "tst_TolvanCommandLine.moc"
