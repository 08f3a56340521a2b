// The engine binding: the masked record, the callback's answers, the
// options word, RunRecovery's refusal of unknown sources, and one call of
// the real engine.
#include <QtTest>

#include <cstring>
#include <functional>
#include <stdexcept>

#include "DriveList.h"
#include "FakeWindow.h"
#include "Pellam.h"

using namespace tolvan;
using namespace tolvan::testing;

namespace {

// Stands in for RecoverMessages: keeps the masked bytes and runs a script
// against the unmasked record.
struct FakeEngine {
    static inline int calls = 0;
    static inline unsigned char masked[sizeof(RecoveryParams)];
    static inline std::function<int32_t(const RecoveryParams&)> script;

    static int32_t VARROW_CALL Entry(const RecoveryParams* record) {
        ++calls;
        std::memcpy(masked, record, sizeof masked);
        RecoveryParams params;
        auto* to = reinterpret_cast<unsigned char*>(&params);
        for (size_t i = 0; i < sizeof params; ++i) to[i] = masked[i] ^ VARROW_PARAMS_MASK;
        return script ? script(params) : 1;
    }
};

struct Client final : TEngineClient {
    bool OnMessage(int32_t code, void*) override {
        codes.append(code);
        if (code == throwOn) throw std::runtime_error("window failed");
        return code == EV_QUERY_ABORT && stop;
    }
    QList<int32_t> codes;
    int32_t throwOn = -1;
    bool stop = false;
};

int32_t VARROW_CALL NoCallback(int32_t, void*, void*) { return 0; }

TDriveList OneDrive(const QString& text, const QString& path) {
    TDriveList drives;
    drives.DriveDisplayList = QStringList{text};
    drives.DrivePathList = QStringList{path};
    return drives;
}

}  // namespace

class TestPellam : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() {
        FakeEngine::calls = 0;
        FakeEngine::script = nullptr;
    }

    void recordIsMaskedByteForByte() {
        const char source[] = "/dev/sdb";
        const char destination[] = "/home/u/out";
        int userVariable = 0;
        FakeEngine::script = [](const RecoveryParams&) { return 7; };
        QCOMPARE(CallEngine(source, 0, 655360001u, destination, &NoCallback, &userVariable, &FakeEngine::Entry), 7);

        RecoveryParams expected;
        std::memset(&expected, 0, sizeof expected);
        expected = {source, 0, 655360001u, destination, &NoCallback, &userVariable};
        const auto* plain = reinterpret_cast<const unsigned char*>(&expected);
        QCOMPARE(sizeof expected, size_t{VARROW_PARAMS_SIZE});
        for (size_t i = 0; i < sizeof expected; ++i)
            QCOMPARE(int(FakeEngine::masked[i]), int(plain[i] ^ VARROW_PARAMS_MASK));
    }

    // What the engine gets for a listed source, and what its events and
    // result come back as.
    void runRecoveryOfAListedSource() {
        Client client;
        client.stop = true;
        QList<int32_t> answers;
        RecoveryParams seen{};
        QByteArray source, destination;  // the record's strings live only during the call
        FakeEngine::script = [&](const RecoveryParams& params) {
            seen = params;
            source = params.sourcePath;
            destination = params.destFolder;
            answers.append(params.callback(EV_LOG, const_cast<char*>("x"), params.userData));
            answers.append(params.callback(EV_QUERY_ABORT, nullptr, params.userData));
            return 1;
        };
        QVERIFY(RunRecovery(client, OneDrive("/dev/sdb1  (Floppy Drive)", "/dev/sdb1"), "/dev/sdb1  (Floppy Drive)",
                            "/home/u/Out Folder", 655360001u, &FakeEngine::Entry));
        QCOMPARE(source, QByteArray("/dev/sdb1"));
        QCOMPARE(seen.reserved, 0);
        QCOMPARE(seen.options, 655360001u);
        QCOMPARE(destination, QByteArray("/home/u/Out Folder"));
        QVERIFY(seen.callback == &EngineEventProc);
        QCOMPARE(client.codes, QList<int32_t>({EV_LOG, EV_QUERY_ABORT}));
        QCOMPARE(answers, QList<int32_t>({0, -1}));  // -1: all 32 bits set
    }

    void unknownSourceDoesNotCallTheEngine_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("not listed") << "/dev/sdz  (Fixed Drive)";
        QTest::newRow("other letter case") << "/DEV/SDB1  (FLOPPY DRIVE)";
        QTest::newRow("empty") << "";
    }
    void unknownSourceDoesNotCallTheEngine() {
        QFETCH(QString, source);
        FakeWindow window;
        QVERIFY(!RunRecovery(window.dispatcher, OneDrive("/dev/sdb1  (Floppy Drive)", "/dev/sdb1"), source, "/tmp", 0,
                             &FakeEngine::Entry));
        QCOMPARE(FakeEngine::calls, 0);
        QVERIFY(window.log.lines.isEmpty() && window.progressLabel.texts.isEmpty());
    }

    // The window asks for every improvement but those the Options page
    // switches off; the records, the source's health and image formats are
    // always on.
    void engineOptions_data() {
        QTest::addColumn<bool>("useNewDir");
        QTest::addColumn<double>("maxMsgCount");
        QTest::addColumn<QList<bool>>("choices");  // store-aware, readable names, file dates, skip identical
        QTest::addColumn<uint>("options");
        const QList<bool> all{true, true, true, true};
        const QList<bool> none{false, false, false, false};
        QTest::newRow("defaults, new folders") << true << 10000.0 << all << (655360000u | 0xFEu | 1u);
        QTest::newRow("defaults") << false << 10000.0 << all << (655360000u | 0xFEu);
        QTest::newRow("every choice off") << false << 10000.0 << none << (655360000u | 0x84u | 0x90u);
        QTest::newRow("classic linking") << false << 10000.0 << QList<bool>{false, true, true, true} << (655360000u | 0xFCu);
        QTest::newRow("raw names") << false << 10000.0 << QList<bool>{true, false, true, true} << (655360000u | 0xDEu);
        QTest::newRow("no file dates") << false << 10000.0 << QList<bool>{true, true, false, true} << (655360000u | 0xBEu);
        QTest::newRow("every copy written") << false << 10000.0 << QList<bool>{true, true, true, false}
                                            << (655360000u | 0xF6u);
        QTest::newRow("highest") << false << 32767.0 << none << (2147418112u | 0x94u);
        QTest::newRow("rounded") << false << 9999.5 << none << (655360000u | 0x94u);
        QTest::newRow("kept inside the spin field") << true << 0.0 << none << (65536u | 0x94u | 1u);
    }
    void engineOptions() {
        QFETCH(bool, useNewDir);
        QFETCH(double, maxMsgCount);
        QFETCH(QList<bool>, choices);
        QFETCH(uint, options);
        TEngineChoices engine;
        engine.useNewDir = useNewDir;
        engine.maxMsgCount = maxMsgCount;
        engine.storeAware = choices[0];
        engine.readableNames = choices[1];
        engine.fileDates = choices[2];
        engine.skipIdentical = choices[3];
        QCOMPARE(EngineOptions(engine), options);
    }

    // An exception of the window must not cross the engine: the engine is
    // told to stop and the exception comes out of CallEngine afterwards.
    void windowExceptionStopsTheRun() {
        Client client;
        client.throwOn = EV_LOG;
        QList<int32_t> answers;
        FakeEngine::script = [&answers](const RecoveryParams& params) {
            answers.append(params.callback(EV_LOG, const_cast<char*>("boom"), params.userData));
            answers.append(params.callback(EV_ERROR, const_cast<char*>("later"), params.userData));
            answers.append(params.callback(EV_QUERY_ABORT, nullptr, params.userData));
            return 0;
        };
        const TDriveList drives = OneDrive("d", "/dev/d");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, RunRecovery(client, drives, "d", "/tmp", 0, &FakeEngine::Entry));
        QCOMPARE(answers, QList<int32_t>({0, 0, -1}));
        QCOMPARE(client.codes, QList<int32_t>{EV_LOG});

        FakeEngine::script = [](const RecoveryParams& params) {
            return params.callback(EV_QUERY_ABORT, nullptr, params.userData) == 0 ? 1 : 0;
        };
        QVERIFY(RunRecovery(client, drives, "d", "/tmp", 0, &FakeEngine::Entry));  // the next run starts clean
    }

    // The real libvarrow.so with a source that does not exist.
    void realEngineWithMissingSource() {
        QTemporaryDir folder;
        const TDriveList drives = OneDrive("Missing  (Fixed Drive)", folder.filePath("no-such-image.bin"));
        FakeWindow window;
        QVERIFY(!RunRecovery(window.dispatcher, drives, "Missing  (Fixed Drive)", folder.path(), VARROW_OPTIONS_BEST));
        QCOMPARE(window.log.lines.size(), 3);
        QCOMPARE(window.log.lines[0], kSeparator);
        QVERIFY2(window.log.lines[1].startsWith("Error 1: Cannot open the file to be repaired."), qPrintable(window.log.lines[1]));
        QCOMPARE(window.log.lines[2], kSeparator);
        QCOMPARE(window.progressLabel.texts, QStringList({"0% completed", "100% completed"}));
        QVERIFY(window.alerts.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPellam)
#include "tst_Pellam.moc"
