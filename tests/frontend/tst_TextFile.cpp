// Writing the saved log: CR LF after every line, and what a file that
// cannot be created or a write that fails part-way leave behind.
#include <QtTest>

#include <csignal>

#include <sys/resource.h>

#include "TextFile.h"

using namespace tolvan;

class TestTextFile : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

    static QByteArray Contents(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

private Q_SLOTS:
    void lines_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("no lines: an empty file") << QStringList{} << QByteArray();
        QTest::newRow("one empty line") << QStringList{""} << QByteArray("\r\n");
        QTest::newRow("the last line too") << QStringList{"a", "", "b"} << QByteArray("a\r\n\r\nb\r\n");
        QTest::newRow("8-bit text of the system") << QStringList{QString::fromUtf8("Grüße")}
                                                  << QString::fromUtf8("Grüße\r\n").toLocal8Bit();
    }
    void lines() {
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, bytes);
        const QString path = folder_.filePath("lines.log");
        QCOMPARE(WriteTextLines(path, {"an older and longer content"}), TWriteResult::Written);
        QCOMPARE(WriteTextLines(path, lines), TWriteResult::Written);
        QCOMPARE(Contents(path), bytes);  // replaced, not appended to
    }

    // More lines than one piece holds: all of them, in order.
    void manyLines() {
        QStringList lines;
        QByteArray expected;
        for (int i = 0; i < 30000; ++i) {
            lines.append(QString("line %1").arg(i));
            expected += "line " + QByteArray::number(i) + "\r\n";
        }
        const QString path = folder_.filePath("many.log");
        QCOMPARE(WriteTextLines(path, lines), TWriteResult::Written);
        QCOMPARE(Contents(path), expected);
    }

    void cannotCreate_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing folder") << "no-such-folder/x.log";
        QTest::newRow("a folder") << ".";
    }
    void cannotCreate() {
        QFETCH(QString, path);
        QCOMPARE(WriteTextLines(folder_.filePath(path), {"x"}), TWriteResult::CannotCreate);
        QVERIFY(!QFileInfo::exists(folder_.filePath("no-such-folder")));
    }

    void fullDevice() {
        if (!QFileInfo::exists("/dev/full")) QSKIP("no /dev/full here");
        QCOMPARE(WriteTextLines("/dev/full", {"x"}), TWriteResult::WriteFailed);
    }

    // A file size limit stops the writing part-way: the file keeps the
    // first piece that was written.
    void failurePartWay() {
        const QString path = folder_.filePath("limited.log");
        QStringList lines;
        for (int i = 0; i < 40000; ++i) lines.append(QString("%1").arg(i, 9, 10, QLatin1Char('0')));
        struct rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = saved;
        limit.rlim_cur = 100000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        const TWriteResult result = WriteTextLines(path, lines);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(result, TWriteResult::WriteFailed);
        const QByteArray kept = Contents(path);
        QVERIFY2(kept.size() >= 64 * 1024 && kept.size() <= 100000, qPrintable(QString::number(kept.size())));
        QVERIFY(kept.startsWith("000000000\r\n000000001\r\n"));
    }
};

QTEST_MAIN(TestTextFile)
#include "tst_TextFile.moc"
