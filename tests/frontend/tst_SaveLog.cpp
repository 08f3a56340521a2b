// Save Log through the main window: the dialog and its option, the file
// with and without the system and setting information, and the errors.
#include <QtTest>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>

#include "DragEdit.h"
#include "LogPane.h"
#include "MainFrm.h"
#include "ScriptedPrompts.h"
#include "TolvanLook.h"
#include "WindowTestKit.h"
#include "logdlg.h"

using namespace tolvan;
using namespace tolvan::testing;

namespace {

const QByteArray kSeparator(56, '-');

}  // namespace

class TestSaveLog : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    NoDisks noDisks_;
    std::unique_ptr<ScriptedPrompts> prompts_;
    std::unique_ptr<TPromptsOverride> override_;
    std::unique_ptr<TMainForm> window_;
    // What the dialog is answered with, and what it showed.
    QString fileAnswer_;
    int untick_ = -1;  // -1: leave the box, 0/1: set it
    QList<bool> boxShown_;
    QStringList namesShown_;

    QByteArray Save(const QString& name) {
        fileAnswer_ = folder_.filePath(name);
        window_->btnSaveLog->click();
        QFile file(fileAnswer_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        ApplyApplicationLook();
    }

    void init() {
        prompts_ = std::make_unique<ScriptedPrompts>();
        override_ = std::make_unique<TPromptsOverride>(*prompts_);
        TMainFormOptions options;
        options.storeFile = folder_.filePath("store.ini");
        options.drives.sysRoot = folder_.filePath("no-sysfs");
        options.drives.access = &noDisks_;
        window_ = std::make_unique<TMainForm>(options);
        fileAnswer_.clear();
        untick_ = -1;
        boxShown_.clear();
        namesShown_.clear();
        prompts_->onDialog = [this](QDialog& dialog) {
            auto& save = dynamic_cast<TSaveLogDialog&>(dialog);
            boxShown_.append(save.IncludeSysInfo());
            namesShown_.append(save.FileName);
            if (untick_ >= 0) save.SetIncludeSysInfo(untick_ == 1);
            if (fileAnswer_.isEmpty()) return int(QDialog::Rejected);
            save.FileName = fileAnswer_;
            return int(QDialog::Accepted);
        };
    }

    void cleanup() {
        window_.reset();
        override_.reset();
    }

    void dialogSetUp() {
        TSaveLogDialog& dialog = window_->SaveLogDialog();
        QCOMPARE(&window_->SaveLogDialog(), &dialog);  // one for the window's life
        QCOMPARE(dialog.defaultSuffix(), QString("log"));
        QCOMPARE(dialog.nameFilters(), QStringList{"Log files (*.log)"});
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
        QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(dialog.IncludeSysInfo());
        QVERIFY(dialog.isAncestorOf(dialog.SystemInfoCheckBox));
        dialog.show();  // inside the dialog's own layout, not floating over it
        QVERIFY(dialog.SystemInfoCheckBox->isVisible());
        QVERIFY(dialog.rect().contains(dialog.InfoPanel->geometry()));
        dialog.hide();
    }

    // The real dialog: a name typed without extension gets ".log", and
    // the dialog keeps it for the next save.
    void typedNameIsKept() {
        TSaveLogDialog& dialog = window_->SaveLogDialog();
        dialog.setDirectory(folder_.path());
        dialog.show();
        dialog.selectFile("typed-name");
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons && buttons->button(QDialogButtonBox::Save));
        buttons->button(QDialogButtonBox::Save)->click();  // as the user confirms
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.FileName, folder_.filePath("typed-name.log"));
        QVERIFY(!dialog.isVisible());
    }

    void withoutSystemInformation() {
        untick_ = 0;
        QCOMPARE(Save("empty.log"), QByteArray());  // an empty log: zero bytes
        window_->txtRepairLog->AppendLine("first");
        window_->txtRepairLog->AppendLine("");
        window_->txtRepairLog->AppendLine("third");
        QCOMPARE(Save("lines.log"), QByteArray("first\r\n\r\nthird\r\n"));
        QVERIFY(prompts_->shown.count("dialog: tolvan::TSaveLogDialog") == 2);
    }

    // After a run the saved log ends with its figures; a new run forgets
    // them until it ends.
    void endsWithTheTotals() {
        TMainFormOptions options;
        options.storeFile = folder_.filePath("store-totals.ini");
        options.drives.sysRoot = folder_.filePath("no-sysfs");
        options.drives.access = &noDisks_;
        options.engine = &FakeEngine::Entry;
        window_ = std::make_unique<TMainForm>(options);
        const QString image = folder_.filePath("image.img");
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("x") == 1);
        file.close();
        window_->txtSrcFile->setText(image);
        window_->txtDstFile->setText(folder_.filePath("out"));
        FakeEngine::Reset();
        FakeEngine::script = [](const RecoveryParams& record) {
            FakeEngine::SendMessages(record, 2);
            FakeEngine::Send(record, EV_ERROR, "Error 6: Cannot create message file.");
            return 1;
        };
        window_->btnRepair->click();
        untick_ = 0;
        const QByteArray saved = Save("after-a-run.log");
        QVERIFY2(saved.endsWith("\r\n" + kSeparator +
                                "\r\nTotals:\r\nMessages found: 2\r\nMessages written: 1\r\n"
                                "Messages that could not be written: 1\r\n"),
                 saved.constData());
        QVERIFY(saved.contains("1 message(s) written; 1 could not be written.\r\n"));
    }

    // The separator, the six sections in order, the setting block, then
    // the log; the file ends with the line end of its last line.
    void withSystemInformation() {
        const QByteArray empty = Save("report-empty-log.log");
        QVERIFY(empty.endsWith(kSeparator + "\r\nEnd of Setting Information\r\n" + kSeparator + "\r\n"));
        window_->txtRepairLog->AppendLine("Start recovery process ...");
        window_->txtRepairLog->AppendLine("last line");
        const QByteArray saved = Save("report.log");
        QVERIFY(saved.startsWith(kSeparator + "\r\n Version Information:\r\nFile Version: "));
        const QList<QByteArray> lines = saved.split('\n');
        qsizetype at = 0;
        for (const QByteArray& header :
             {QByteArray("Operating System: Linux "), QByteArray("Windows Directory: /"), QByteArray("Memory Status:"),
              QByteArray("Environment Information:"), QByteArray("Drive Information:"),
              QByteArray("End of System Information"), QByteArray("Setting Information:"),
              QByteArray("End of Setting Information"), QByteArray("Start recovery process ...")}) {
            const auto found = std::find_if(lines.begin() + at, lines.end(),
                                            [&](const QByteArray& line) { return line.startsWith(header); });
            QVERIFY2(found != lines.end(), header.constData());
            QCOMPARE(*(found - 1), kSeparator + "\r");  // every section follows a separator
            at = found - lines.begin();
        }
        QVERIFY(saved.endsWith(kSeparator + "\r\nStart recovery process ...\r\nlast line\r\n"));
    }

    // The box and the file name stay as the user left them.
    void choicesAreRemembered() {
        untick_ = 0;
        Save("first.log");
        untick_ = -1;
        QCOMPARE(Save("second.log"), QByteArray());
        QCOMPARE(boxShown_, QList<bool>({true, false}));
        QCOMPARE(namesShown_, QStringList({QString(), folder_.filePath("first.log")}));
    }

    void cancelWritesNothing() {
        const QStringList before = QDir(folder_.path()).entryList(QDir::Files);
        window_->btnSaveLog->click();
        QCOMPARE(prompts_->shown, QStringList{"dialog: tolvan::TSaveLogDialog"});
        QCOMPARE(QDir(folder_.path()).entryList(QDir::Files), before);
    }

    void errors_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing folder") << "no-such-folder/saved.log" << "error: Cannot create file %1";
        QTest::newRow("a folder") << "." << "error: Cannot create file %1";
        QTest::newRow("full device") << "/dev/full" << "error: Stream write error";
    }
    void errors() {
        QFETCH(QString, path);
        QFETCH(QString, message);
        if (path.startsWith("/dev/") && !QFileInfo::exists(path)) QSKIP("no /dev/full here");
        window_->txtRepairLog->AppendLine("kept");
        fileAnswer_ = path.startsWith('/') ? path : folder_.filePath(path);
        window_->btnSaveLog->click();
        QCOMPARE(prompts_->shown.mid(1), QStringList{QString(message).replace("%1", fileAnswer_)});
        QCOMPARE(window_->txtRepairLog->Lines(), QStringList{"kept"});
        QVERIFY(!QFileInfo::exists(folder_.filePath("no-such-folder")));
    }
};

QTEST_MAIN(TestSaveLog)
#include "tst_SaveLog.moc"
