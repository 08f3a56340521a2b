// FileVersionText: the six selectors on files with a marker, on a real
// program built with one, and on files without.
#include <QtTest>

#include "TolvanInfo.h"

using namespace tolvan;

namespace {

constexpr uint32_t Part(uint32_t high, uint32_t low) { return (high << 16) | low; }

}  // namespace

class TestTolvanInfo : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;

    // A file of filler bytes with record at offset and after more bytes behind it.
    QString FileWith(const QByteArray& record, qint64 offset, qint64 after) {
        const QString path = folder_.filePath(QString("file-%1.bin").arg(QTest::currentDataTag()));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) return QString();
        file.write(QByteArray(offset, '\x90') + record + QByteArray(after, '\0'));
        return path;
    }

private Q_SLOTS:
    void selectors_data() {
        QTest::addColumn<int>("selector");
        QTest::addColumn<QString>("oneZero");  // file and product version 1.0.0.0
        QTest::addColumn<QString>("mixed");    // file 2.17.3.65535, product 7.0.1.12
        QTest::newRow("0 file, most") << 0 << "1.0" << "2.17";
        QTest::newRow("1 file, least") << 1 << "0.0" << "3.65535";
        QTest::newRow("2 file") << 2 << "1.0.0.0" << "2.17.3.65535";
        QTest::newRow("3 product, most") << 3 << "1.0" << "7.0";
        QTest::newRow("4 product, least") << 4 << "0.0" << "1.12";
        QTest::newRow("5 product") << 5 << "1.0.0.0" << "7.0.1.12";
        QTest::newRow("6 is none") << 6 << "" << "";
        QTest::newRow("-1 is none") << -1 << "" << "";
    }
    void selectors() {
        QFETCH(int, selector);
        QFETCH(QString, oneZero);
        QFETCH(QString, mixed);
        const QString first = FileWith(VersionMarkerRecord(Part(1, 0), 0, Part(1, 0), 0), 4096, 100);
        QCOMPARE(FileVersionText(first, selector), oneZero);
        const QString second = FileWith(VersionMarkerRecord(Part(2, 17), Part(3, 65535), Part(7, 0), Part(1, 12)), 10, 0);
        QCOMPARE(FileVersionText(second, selector), mixed);
    }

    // The file is read in chunks of a megabyte; a marker across two is found.
    void markerPlaces_data() {
        QTest::addColumn<qint64>("offset");
        QTest::newRow("at the start") << qint64(0);
        QTest::newRow("magic across a megabyte") << qint64((1 << 20) - 7);
        QTest::newRow("numbers across a megabyte") << qint64((1 << 20) - 20);
        QTest::newRow("deep in the file") << qint64(3 * (1 << 20) + 12345);
    }
    void markerPlaces() {
        QFETCH(qint64, offset);
        const QString path = FileWith(VersionMarkerRecord(Part(4, 3), Part(2, 1), 0, 0), offset, 10);
        QCOMPARE(FileVersionText(path, 2), QString("4.3.2.1"));
    }

    void filesWithoutMarker_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("missing file") << folder_.filePath("missing.exe");
        QTest::newRow("marker cut short") << FileWith(VersionMarkerRecord(Part(1, 0), 0, 0, 0).left(31), 200, 0);
        // The reader is linked into this very program: it must not find its
        // own search pattern.
        QTest::newRow("this test program") << QCoreApplication::applicationFilePath();
    }
    void filesWithoutMarker() {
        QFETCH(QString, path);
        for (int selector = 0; selector <= 5; ++selector) QCOMPARE(FileVersionText(path, selector), QString());
    }

    // A program that carries the marker of the build's version.
    void programWithMarker() {
        const QString probe = QStringLiteral(VERSION_PROBE_PATH);
        const QStringList parts = QStringLiteral(PROJECT_VERSION_TEXT).split('.');
        QCOMPARE(FileVersionText(probe, 2), QStringLiteral(PROJECT_VERSION_TEXT));
        QCOMPARE(FileVersionText(probe, 5), QStringLiteral(PROJECT_VERSION_TEXT));
        QCOMPARE(FileVersionText(probe, 0), parts[0] + "." + parts[1]);
        QCOMPARE(FileVersionText(probe, 1), parts[2] + "." + parts[3]);
    }
};

QTEST_GUILESS_MAIN(TestTolvanInfo)
#include "tst_TolvanInfo.moc"
