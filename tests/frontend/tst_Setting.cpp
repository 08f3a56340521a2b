// The settings store: first-start defaults, what is written, how stored
// texts are read back, the store's name, a store that cannot be written,
// and the setting-information block.
#include <QtTest>

#include "Setting.h"
#include "SettingInfo.h"
#include "SettingsStore.h"

using namespace tolvan;

namespace {

// The values of the group [Misc] of an INI file, as raw texts.
QMap<QString, QString> RawValues(const QString& path) {
    QMap<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return values;
    bool inMisc = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[')) inMisc = line == "[Misc]";
        else if (inMisc && line.indexOf('=') > 0) values.insert(line.section('=', 0, 0), line.section('=', 1));
    }
    return values;
}

}  // namespace

class TestSetting : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    int stores_ = 0;
    // A fresh store file for each case.
    QString NewStore() { return folder_.filePath(QString("store-%1.ini").arg(++stores_)); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        // Nothing here may reach the user's own configuration.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.filePath("user"));
    }

    void firstStart() {
        const QString store = NewStore();
        TSetting setting(store);
        setting.Load();
        QCOMPARE(setting.OpenDirectory, QString());
        QCOMPARE(setting.OpenFilterIndex, 1);
        QCOMPARE(setting.SaveFilterIndex, 1);
        QCOMPARE(setting.OpenFixed, true);
        QCOMPARE(setting.UseNewDir, false);
        QCOMPARE(setting.MaxMsgCount, 10000);
        QCOMPARE(setting.TempDir, QDir::tempPath() + "/");
        QCOMPARE(setting.BufSize, 512);
        QCOMPARE(setting.StoreAware, true);
        QCOMPARE(setting.ReadableNames, true);
        QCOMPARE(setting.FileDates, true);
        QCOMPARE(setting.SkipIdentical, true);
        setting.Save();
        const QMap<QString, QString> expected = {
            {"OpenDirectory", ""}, {"OpenFilterIndex", "1"}, {"SaveFilterIndex", "1"}, {"OpenFixed", "1"},
            {"UseNewDir", "0"}, {"MaxMsgCount", "10000"}, {"TempDir", QDir::tempPath() + "/"}, {"BufSize", "512"},
            {"StoreAware", "1"}, {"ReadableNames", "1"}, {"FileDates", "1"}, {"SkipIdentical", "1"}};
        QCOMPARE(RawValues(store), expected);
    }

    // One stored value, what is loaded from it and what is written back.
    void storedValues_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("written");
        QTest::newRow("MaxMsgCount above the spin field") << "MaxMsgCount" << "50000" << "32767";
        QTest::newRow("MaxMsgCount below it") << "MaxMsgCount" << "0" << "1";
        QTest::newRow("MaxMsgCount as text") << "MaxMsgCount" << "250" << "250";
        QTest::newRow("MaxMsgCount no number") << "MaxMsgCount" << "many" << "10000";
        QTest::newRow("MaxMsgCount number with a tail") << "MaxMsgCount" << "12abc" << "10000";
        QTest::newRow("MaxMsgCount beyond 32 bits") << "MaxMsgCount" << "99999999999" << "10000";
        QTest::newRow("BufSize above the spin field") << "BufSize" << "65537" << "65536";
        QTest::newRow("OpenFixed 2 is true") << "OpenFixed" << "2" << "1";
        QTest::newRow("OpenFixed 0 is false") << "OpenFixed" << "0" << "0";
        QTest::newRow("OpenFixed word is no number") << "OpenFixed" << "false" << "1";
        QTest::newRow("UseNewDir -1 is true") << "UseNewDir" << "-1" << "1";
        QTest::newRow("StoreAware 0 is false") << "StoreAware" << "0" << "0";
        QTest::newRow("StoreAware no number") << "StoreAware" << "yes" << "1";
        QTest::newRow("OpenFilterIndex carried") << "OpenFilterIndex" << "3" << "3";
        QTest::newRow("TempDir with a comma") << "TempDir" << "\"/tmp/a, b/\"" << "\"/tmp/a, b/\"";
    }
    void storedValues() {
        QFETCH(QString, name);
        QFETCH(QString, stored);
        QFETCH(QString, written);
        const QString store = NewStore();
        QFile file(store);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(("[Misc]\n" + name + "=" + stored + "\n").toUtf8());
        file.close();
        TSetting setting(store);
        setting.Load();
        setting.Save();
        QCOMPARE(RawValues(store).value(name), written);
    }

    void textsComeBackUnchanged() {
        const QString store = NewStore();
        const QString text = "  /home/jörg/a, b=\"c\";d\\e/  ";
        TSetting first(store);
        first.TempDir = text;
        first.OpenDirectory = text;
        first.Save();
        TSetting second(store);
        second.Load();
        QCOMPARE(second.TempDir, text);
        QCOMPARE(second.OpenDirectory, text);
    }

    void storeIsNamedAfterTheProgram_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("file");
        QTest::newRow("Tolvan") << "/usr/bin/Tolvan" << "Tolvan.ini";
        QTest::newRow("last extension cut") << "/opt/x/Other.Name.exe" << "Other.Name.ini";
        QTest::newRow("dotted folder") << "/opt/x.d/tolvan" << "tolvan.ini";
        QTest::newRow("no usable name") << "/opt/.hidden" << "Tolvan.ini";
    }
    void storeIsNamedAfterTheProgram() {
        QFETCH(QString, program);
        QFETCH(QString, file);
        QCOMPARE(UserStoreFile(program), folder_.filePath("user") + "/" + file);
    }

    void unwritableStoreRaises() {
        QFile blocker(folder_.filePath("a-file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TSetting setting(blocker.fileName() + "/Tolvan.ini");
        setting.Load();  // a missing store reads as defaults
        try {
            setting.Save();
            QFAIL("Save did not raise");
        } catch (const TSettingsError& error) {
            QVERIFY2(QString(error.what()).startsWith("Failed to create key "), error.what());
        }
    }

    void settingInfoBlock() {
        QStringList lines{"earlier line"};
        AddSettingInfo(lines, {true, false, 9999.6, "/tmp/", 512, true, false, true, false});
        const QString separator(56, '-');
        const QString useNewDir = "&Save recovered messages into new folder when messages in current folder reaches";
        QCOMPARE(lines, QStringList({"earlier line", "Setting Information:",
                                     "Op&en the directory containing all the recovered messages: Yes",
                                     useNewDir + ": No", useNewDir + " 10000", "Dire&ctory for temporary files: /tmp/",
                                     "I&nternal Processing Buffer Size: 512",
                                     "Rebuild messages store by store (recommended for whole disks): Yes",
                                     "Name files after the readable subjec&t (decoded, in any language): No",
                                     "Give each &file the date its message was sent: Yes",
                                     "&Write identical copies of a message only once: No", separator,
                                     "End of Setting Information", separator}));
    }
};

QTEST_GUILESS_MAIN(TestSetting)
#include "tst_Setting.moc"
