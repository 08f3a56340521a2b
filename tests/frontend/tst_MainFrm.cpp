// The main window driven as a user drives it: the Start-button rule, page
// switching, whole runs over built disk images (success, stop, failure,
// an error raised inside the flow, a destination that cannot be created),
// the command line, closing during a run, image sources, the options and
// their store, help and the About page. The batch page and the saved log
// have tests of their own.
#include <QtTest>

#include <cstring>
#include <functional>
#include <stdexcept>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include "DeviceAccess.h"
#include "DragEdit.h"
#include "DriveCombo.h"
#include "LogPane.h"
#include "MainFrm.h"
#include "MsgFrm.h"
#include "ReportFrm.h"
#include "ReportModel.h"
#include "ScriptedPrompts.h"
#include "TestImages.h"
#include "TolvanLook.h"
#include "TolvanPanel.h"
#include "WindowTestKit.h"

using namespace tolvan;
using namespace tolvan::testing;

namespace {

const QString kSeparator(56, QLatin1Char('-'));

// "1,234,567": the log prints sizes with thousands separators.
QString Grouped(quint64 value) {
    QString digits = QString::number(value);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
    return digits;
}

QMap<QString, QString> StoredValues(const QString& path) {
    QSettings store(path, QSettings::IniFormat);
    store.beginGroup("Misc");
    QMap<QString, QString> values;
    for (const QString& key : store.childKeys()) values.insert(key, store.value(key).toString());
    return values;
}

// A drag of urls that enters target and is dropped on it: whether the
// drag was welcome, and whether the drop was taken.
std::pair<bool, bool> DragAndDrop(QWidget& target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &enter);
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    QCoreApplication::sendEvent(&target, &drop);
    return {enter.isAccepted(), drop.isAccepted()};
}

QStringList EmlFiles(const QString& folder) {
    return QDir(folder).entryList({"*.eml"}, QDir::Files, QDir::Name);
}

}  // namespace

class TestMainFrm : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    NoDisks noDisks_;
    std::unique_ptr<ScriptedPrompts> prompts_;
    std::unique_ptr<TPromptsOverride> override_;
    int stores_ = 0;
    QString smallImage_;
    uint64_t smallImageSize_ = 0;
    QString largeImage_;
    static constexpr int kSmallMessages = 4;

    TMainFormOptions Options(const QStringList& parameters = {}, QString store = QString()) {
        TMainFormOptions options;
        options.storeFile = store.isEmpty() ? folder_.filePath(QString("store-%1.ini").arg(++stores_)) : store;
        options.drives.sysRoot = folder_.filePath("no-sysfs");
        options.drives.access = &noDisks_;
        options.parameters = parameters;
        return options;
    }
    QString NewFolder(const QString& name) { return folder_.filePath(name + QString::number(++stores_)); }
    TMainFormOptions FakeEngineOptions() {
        TMainFormOptions options = Options();
        options.engine = &FakeEngine::Entry;
        return options;
    }

    // The report rows of a summary dialog, read as the user sees them.
    static QStringList ReportRows(TReportForm& report) {
        QStringList rows;
        const QAbstractItemModel* model = report.ReportList->model();
        for (int r = 0; r < model->rowCount(); ++r)
            rows.append(model->index(r, 0).data().toString() + " | " + model->index(r, 1).data().toString());
        return rows;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder_.filePath("user"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QApplication::setQuitOnLastWindowClosed(false);
        ApplyApplicationLook();
        smallImage_ = folder_.filePath("four-messages.img");
        smallImageSize_ = WriteStoreImage(smallImage_, kSmallMessages);
        largeImage_ = folder_.filePath("store-after-8-MB-of-noise.img");
        WriteStoreImage(largeImage_, 20, 8 << 20);
    }

    void init() {
        override_.reset();
        prompts_ = std::make_unique<ScriptedPrompts>();
        override_ = std::make_unique<TPromptsOverride>(*prompts_);
        FakeEngine::Reset();
    }

    void cleanup() { override_.reset(); }

    void windowIsFixedAndStartsIdle() {
        TMainForm window(Options());
        QCOMPARE(window.size(), QSize(765, 475));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(!window.btnRepair->isEnabled());
        QCOMPARE(window.btnRepair->text(), QString("&Start Recovery"));
        QCOMPARE(SkinElement(window.btnRepair), QString(kSkinStartButton));
        QCOMPARE(window.labProgress->text(), QString("0% completed"));
        QCOMPARE(window.labConsumedTime->text(), QString("0 hour(s) 0 minute(s) "));
        QCOMPARE(window.labSelSrcFile->text(), QString("Select &drive or disk to be scanned:"));
        QCOMPARE(window.labSelDstFile->text(), QString("O&utput recovered messages to:"));
        QVERIFY(!window.Running());
        QVERIFY(!window.Timer.isActive());
        QCOMPARE(window.Timer.interval(), 60000);
        // The source field starts 7 pixels after its label and ends 5 before the browse column.
        QCOMPARE(window.txtSrcFile->x(), window.labSelSrcFile->geometry().right() + 1 + 7);
        QCOMPARE(window.txtSrcFile->geometry().right() + 1, window.btnDstMore->x() - 5);
        QCOMPARE(window.txtDstFile->geometry().left(), window.txtSrcFile->geometry().left());
        QCOMPARE(window.txtDstFile->width(), window.txtSrcFile->width());
        QCOMPARE(window.cmbSrcDrives->geometry(), window.txtSrcFile->geometry());
        QVERIFY(window.txtSrcFile->isHidden() && window.txtSrcFile->AcceptsFiles());
    }

    void startButtonRule_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("source, no destination") << "disk.img" << "" << false;
        QTest::newRow("source, destination of blanks") << "disk.img" << "   " << false;
        QTest::newRow("no source") << "" << "/tmp/out" << false;
        QTest::newRow("source of blanks") << "  " << "/tmp/out" << false;
        QTest::newRow("both") << "disk.img" << "/tmp/out" << true;
        QTest::newRow("both, with blanks around") << " disk.img " << " out " << true;
    }
    void startButtonRule() {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(bool, enabled);
        TMainForm window(Options());
        window.txtDstFile->setText(destination);
        window.txtSrcFile->setText(source);
        QCOMPARE(window.btnRepair->isEnabled(), enabled);
        window.txtSrcFile->setText(source + "x");  // either field's change applies the rule
        window.txtDstFile->setText("");
        QVERIFY(!window.btnRepair->isEnabled());
    }

    void pageSwitching_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("progressShown");
        QTest::addColumn<bool>("helpShown");
        QTest::newRow("Recovery") << 1 << true << true;
        QTest::newRow("Batch Recovery") << 2 << true << true;
        QTest::newRow("Options") << 3 << false << true;
        QTest::newRow("About") << 4 << false << false;
    }
    void pageSwitching() {
        QFETCH(int, page);
        QFETCH(bool, progressShown);
        QFETCH(bool, helpShown);
        TMainForm window(Options());
        window.show();
        const QList<QPushButton*> buttons{window.btnRepairTab, window.btnBatchRepairTab, window.btnOptionsTab,
                                          window.btnAboutTab};
        const QList<TTolvanPanel*> panels{window.palRecovery, window.palBatchRecovery, window.palOptions,
                                          window.palAbout};
        buttons[page - 1]->click();
        QCOMPARE(window.CurrentTab, page);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(buttons[i]->isChecked(), i == page - 1);
            QCOMPARE(panels[i]->isVisible(), i == page - 1);
        }
        QCOMPARE(window.palProgress->isVisible(), progressShown);
        QCOMPARE(window.btnHelp->isVisible(), helpShown);
        const QRect progress = window.palProgress->geometry();
        if (page == 1) {
            const int dstBottom = window.txtDstFile->mapTo(window.palClient, QPoint(0, window.txtDstFile->height())).y();
            QCOMPARE(progress.left(), 7);
            QCOMPARE(progress.width(), 733);
            QCOMPARE(progress.bottom() + 1, dstBottom + 40 + window.Gauge->height());
        } else if (page == 2) {
            QCOMPARE(progress.topLeft(), QPoint(8, window.palBatchRecovery->y() + 20));
            QCOMPARE(progress.width(), 590);
        }
        QVERIFY(window.btnRepairTab->focusPolicy() & Qt::TabFocus);
    }

    // The Options page shows again the sub-page that was chosen last.
    void subPages() {
        TMainForm window(Options());
        window.show();
        window.btnOptionsTab->click();
        QVERIFY(window.palOptionsSub->isVisible() && !window.palAdvOptionsSub->isVisible());
        window.btnAdvOptionsSubTab->click();
        QCOMPARE(window.CurrentSubTab, 2);
        QVERIFY(!window.palOptionsSub->isVisible() && window.palAdvOptionsSub->isVisible());
        QVERIFY(window.chkStoreAware->isVisible());
        window.btnAboutTab->click();
        QVERIFY(!window.palAdvOptionsSub->isVisible());
        window.btnOptionsTab->click();
        QVERIFY(window.palAdvOptionsSub->isVisible() && window.btnAdvOptionsSubTab->isChecked());
    }

    // A whole run over an image: the log lines of the flow in order, the
    // summary dialog, the report's rows, the files, and the window idle again.
    void fullRunThroughTheWindow() {
        const QString output = NewFolder("out");
        TMainForm window(Options());
        window.show();
        window.chkOpenFixed->setChecked(false);
        window.txtSrcFile->setText(smallImage_);
        QCOMPARE(SelectedDriveText(window.cmbSrcDrives), smallImage_);
        window.txtDstFile->setText(output);
        QVERIFY(window.btnRepair->isEnabled());

        QString summaryText;
        QStringList rows;
        QString reportTitle;
        QStringList headers;
        prompts_->onDialog = [&](QDialog& dialog) {
            if (auto* summary = qobject_cast<TMsgForm*>(&dialog)) {
                summaryText = summary->labMsg->text();
                summary->btnReport->click();
            } else if (auto* report = qobject_cast<TReportForm*>(&dialog)) {
                rows = ReportRows(*report);
                reportTitle = report->Title;
                for (int i = 0; i < report->ReportList->model()->columnCount(); ++i)
                    headers.append(report->ReportList->model()->headerData(i, Qt::Horizontal).toString());
            }
            return QDialog::Rejected;
        };
        QTest::mouseClick(window.btnRepair, Qt::LeftButton);

        const QStringList log = window.txtRepairLog->Lines();
        const QString success = QString("The Outlook Express data on '%1' are recoverable.").arg(smallImage_);
        QCOMPARE(log.mid(0, 6),
                 QStringList({"Start recovery process ...", kSeparator,
                              QString("Drive or disk to be recovered: '%1'; Total size = %2 bytes")
                                  .arg(smallImage_, Grouped(smallImageSize_)),
                              QString("Output recovered messages to: '%1'").arg(output), "Linking: store by store",
                              kSeparator}));
        QCOMPARE(log.size(), 6 + 6 * kSmallMessages + 6);
        for (int m = 0; m < kSmallMessages; ++m) {
            QCOMPARE(log[6 + 6 * m], QString("Start processing message (No.%1) ...").arg(m + 1));
            QCOMPARE(log[6 + 6 * m + 4], QString("Finish processing message (No.%1).").arg(m + 1));
            QCOMPARE(log[6 + 6 * m + 5], kSeparator);
        }
        const QStringList closing = log.mid(log.size() - 6);
        QCOMPARE(closing[0], kSeparator);
        QVERIFY2(QRegularExpression("^Consumed time: 0 hour\\(s\\) \\d+ minute\\(s\\) \\d+ second\\(s\\) \\d+ "
                                    "millisecond\\(s\\)\\.$")
                     .match(closing[1])
                     .hasMatch(),
                 qPrintable(closing[1]));
        QCOMPARE(closing.mid(2), QStringList({kSeparator, "Recovery process completes.", kSeparator, success}));

        QCOMPARE(prompts_->shown, QStringList({"dialog: tolvan::TMsgForm", "dialog: tolvan::TReportForm"}));
        QVERIFY2(summaryText.startsWith(success + " "), qPrintable(summaryText));
        QCOMPARE(headers, QStringList({"Message No.", "Subject"}));
        QCOMPARE(rows.size(), kSmallMessages);
        for (int m = 0; m < kSmallMessages; ++m) QVERIFY2(rows[m].startsWith(QString::number(m + 1) + " | "), qPrintable(rows[m]));
        QCOMPARE(reportTitle, QString("Totally %1 message(s) in '%2' are recoverable:").arg(kSmallMessages).arg(smallImage_));
        QCOMPARE(EmlFiles(output).size(), kSmallMessages);

        QCOMPARE(window.btnRepair->text(), QString("&Start Recovery"));
        QCOMPARE(SkinElement(window.btnRepair), QString(kSkinStartButton));
        QVERIFY(window.btnRepair->isEnabled());
        QVERIFY(!window.Running() && !window.FlowActive() && !window.Timer.isActive());
        QVERIFY(window.ReportCells().isEmpty());  // AfterRecovery, once the dialogs are gone
        QCOMPARE(window.ReportColumns(), 0);
        QCOMPARE(window.Gauge->value(), 100);
        QCOMPARE(window.labProgress->text(), QString("100% completed"));
        QVERIFY(prompts_->opened.isEmpty());  // chkOpenFixed unticked
    }

    // `tolvan -e IMAGE OUT` writes the same files as `varrow recover IMAGE OUT`.
    void commandLineExitRecoversAsTheCommandLineClientDoes() {
        const QString output = NewFolder("tolvan-out");
        TMainForm window(Options({"-e", smallImage_, output}));
        QTRY_VERIFY(prompts_->shown.contains("dialog: tolvan::TMsgForm"));
        QTRY_VERIFY(!window.isVisible());  // the program ends after the run
        QCOMPARE(window.txtDstFile->text(), output);
        QCOMPARE(window.Drives->DriveDisplayList.last(), smallImage_);  // its own entry, named by its path

        const QString reference = NewFolder("varrow-out");
        QVERIFY(QDir().mkpath(reference));
        QProcess varrow;
        varrow.start(VARROW_PROGRAM, {"recover", "--quiet", smallImage_, reference});
        QVERIFY(varrow.waitForFinished(60000));
        QCOMPARE(varrow.exitCode(), 0);
        QCOMPARE(EmlFiles(output), EmlFiles(reference));
        QCOMPARE(EmlFiles(output).size(), kSmallMessages);
        for (const QString& name : EmlFiles(output)) {
            QFile mine(output + "/" + name), theirs(reference + "/" + name);
            QVERIFY(mine.open(QIODevice::ReadOnly) && theirs.open(QIODevice::ReadOnly));
            QCOMPARE(mine.readAll(), theirs.readAll());
        }
    }

    // Without an output folder the messages go beside the source.
    void commandLineDefaultDestination() {
        const QString image = folder_.filePath("copy-for-default-destination.img");
        QVERIFY(QFile::copy(smallImage_, image));
        TMainForm window(Options({image}));
        QTRY_VERIFY(prompts_->shown.contains("dialog: tolvan::TMsgForm"));
        QCOMPARE(window.txtDstFile->text(), image + ".recovered");
        QCOMPARE(EmlFiles(image + ".recovered").size(), kSmallMessages);
        QVERIFY(window.isVisible());  // no -e: the window stays
    }

    // -o ticks chkOpenFixed, its absence unticks it, and either is saved at exit.
    void commandLineOpenSwitchIsSaved_data() {
        QTest::addColumn<QString>("switchText");
        QTest::addColumn<QString>("storedBefore");
        QTest::addColumn<QString>("savedAfter");
        QTest::addColumn<int>("folderOpens");
        QTest::newRow("-o ticks") << "-o" << "0" << "1" << 1;
        QTest::newRow("-O in capitals") << "-O" << "0" << "1" << 1;
        QTest::newRow("no -o unticks") << "-x" << "1" << "0" << 0;
    }
    void commandLineOpenSwitchIsSaved() {
        QFETCH(QString, switchText);
        QFETCH(QString, storedBefore);
        QFETCH(QString, savedAfter);
        QFETCH(int, folderOpens);
        const QString store = folder_.filePath(QString("store-%1.ini").arg(++stores_));
        {
            QSettings before(store, QSettings::IniFormat);
            before.setValue("Misc/OpenFixed", storedBefore);
        }
        const QString output = NewFolder("opened");
        {
            TMainForm window(Options({switchText, smallImage_, output}, store));
            QTRY_VERIFY(prompts_->shown.contains("dialog: tolvan::TMsgForm"));
            QTRY_VERIFY(!window.FlowActive());
            QCOMPARE(window.chkOpenFixed->isChecked(), savedAfter == "1");
            QCOMPARE(prompts_->opened.size(), folderOpens);
            if (folderOpens) QCOMPARE(prompts_->opened.first(), QUrl::fromLocalFile(output));
        }
        QCOMPARE(StoredValues(store).value("OpenFixed"), savedAfter);
    }

    void commandLineNamesNoFile_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QString>("message");
        QTest::newRow("only switches") << QStringList{"-e", "-o"} << "error: Cannot open file ";
        QTest::newRow("missing file") << QStringList{"/no/such/disk.img"} << "error: Cannot open file /no/such/disk.img";
    }
    void commandLineNamesNoFile() {
        QFETCH(QStringList, parameters);
        QFETCH(QString, message);
        TMainFormOptions options = Options(parameters);
        options.engine = &FakeEngine::Entry;
        TMainForm window(options);
        QTRY_COMPARE(prompts_->shown, QStringList{message});
        QVERIFY(window.isVisible());  // even with -e the window stays open and idle
        QCOMPARE(FakeEngine::calls, 0);
        QVERIFY(window.txtRepairLog->Lines().isEmpty());
    }

    // The second press stops the run, and a third one while it stops
    // starts nothing.
    void stopDuringARun() {
        const QString output = NewFolder("stopped");
        TMainForm window(Options());
        window.show();
        window.txtSrcFile->setText(largeImage_);
        window.txtDstFile->setText(output);
        QString captionDuringRun, lookDuringRun;
        bool timerDuringRun = false;
        QTimer::singleShot(0, &window, [&] {
            captionDuringRun = window.btnRepair->text();
            lookDuringRun = SkinElement(window.btnRepair);
            timerDuringRun = window.Timer.isActive();
            window.btnRepair->click();
            window.btnRepair->click();
        });
        window.btnRepair->click();
        QCOMPARE(captionDuringRun, QString("&Stop Recovery"));
        QCOMPARE(lookDuringRun, QString(kSkinStopButton));
        QVERIFY(timerDuringRun);
        const QStringList log = window.txtRepairLog->Lines();
        QCOMPARE(log.count("Start recovery process ..."), 1);
        QCOMPARE(log.last(), QString("User aborts the recovery process"));
        QCOMPARE(log[log.size() - 2], kSeparator);
        QCOMPARE(prompts_->shown, QStringList{"information: User aborts the recovery process"});
        QCOMPARE(window.btnRepair->text(), QString("&Start Recovery"));
        QCOMPARE(SkinElement(window.btnRepair), QString(kSkinStartButton));
        QVERIFY(!window.FlowActive());
        QVERIFY(EmlFiles(output).isEmpty());  // stopped in the scan, before any output
    }

    void destinationThatCannotBeCreated() {
        QFile blocker(folder_.filePath("a-plain-file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString destination = blocker.fileName() + "/sub folder";
        TMainForm window(FakeEngineOptions());
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText(destination);
        window.btnRepair->click();
        QCOMPARE(FakeEngine::calls, 0);
        QCOMPARE(prompts_->shown, QStringList{QString("error: Cannot create the directory '%1'!").arg(destination)});
        QCOMPARE(window.txtRepairLog->Lines(),
                 QStringList({"Start recovery process ...", kSeparator, "Recovery process is aborted."}));
        QCOMPARE(window.btnRepair->text(), QString("&Start Recovery"));
        QCOMPARE(SkinElement(window.btnRepair), QString(kSkinStartButton));
        QVERIFY(!window.Running() && !window.FlowActive() && !window.Timer.isActive());
    }

    // A failed run with a relative folder: made from the current folder,
    // the failure box, no summary, and what the engine was given.
    void engineFailure() {
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder_.path()));
        TMainForm window(FakeEngineOptions());
        window.chkStoreAware->setChecked(false);
        window.chkUseNewDir->setChecked(true);
        window.txtMaxMsgCount->setValue(250);
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText("relative out");
        QByteArray destinationSeen;
        FakeEngine::script = [&](const RecoveryParams& record) {
            destinationSeen = record.destFolder;
            FakeEngine::Send(record, EV_ERROR, "Error 2: General error. The disk went away.");
            return 0;
        };
        window.btnRepair->click();
        QDir::setCurrent(previous);
        QVERIFY(QFileInfo(folder_.filePath("relative out")).isDir());
        QCOMPARE(destinationSeen, QByteArray("relative out"));  // the text as typed
        QCOMPARE(FakeEngine::params.options, (250u << 16) | 1u);
        const QString failure = QString("Fail to recover Outlook Express data from '%1'!").arg(smallImage_);
        QCOMPARE(prompts_->shown, QStringList{"information: " + failure});
        const QStringList log = window.txtRepairLog->Lines();
        QCOMPARE(log[4], QString("Linking: by block offset across the source"));
        QCOMPARE(log.mid(6, 3), QStringList({kSeparator, "Error 2: General error. The disk went away.", kSeparator}));
        QCOMPARE(log.last(), failure);
    }

    // An error raised inside the flow: the closing steps run, the standard
    // error box shows it, and the window works on.
    void errorRaisedInsideTheFlow() {
        TMainForm window(FakeEngineOptions());
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText(NewFolder("raised"));
        FakeEngine::script = [](const RecoveryParams& record) -> int32_t {
            FakeEngine::Send(record, EV_REPORT_COLUMNS, "\2\0\0\0");
            throw std::runtime_error("The source vanished.");
        };
        window.btnRepair->click();
        QCOMPARE(prompts_->shown, QStringList{"exception: The source vanished."});
        QCOMPARE(window.btnRepair->text(), QString("&Start Recovery"));
        QCOMPARE(SkinElement(window.btnRepair), QString(kSkinStartButton));
        QVERIFY(!window.Running() && !window.FlowActive() && !window.Timer.isActive());
        QCOMPARE(window.ReportColumns(), 0);

        prompts_->shown.clear();
        FakeEngine::script = nullptr;  // the next run succeeds
        window.btnRepair->click();
        QCOMPARE(FakeEngine::calls, 2);
        QCOMPARE(prompts_->shown, QStringList{"dialog: tolvan::TMsgForm"});
    }

    void outputFolderOpening_data() {
        QTest::addColumn<bool>("shellWorks");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("opened") << true << QStringList{"dialog: tolvan::TMsgForm"};
        QTest::newRow("shell fails") << false
                                     << QStringList{"dialog: tolvan::TMsgForm", "error: Cannot open directory 'out-%1'!"};
    }
    void outputFolderOpening() {
        QFETCH(bool, shellWorks);
        QFETCH(QStringList, shown);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder_.path());
        const QString output = QString("out-%1").arg(++stores_);
        TMainForm window(FakeEngineOptions());
        window.chkOpenFixed->setChecked(true);
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText(output);
        prompts_->shellWorks = shellWorks;
        window.btnRepair->click();
        QDir::setCurrent(previous);
        QCOMPARE(prompts_->opened, QList<QUrl>{QUrl::fromLocalFile(folder_.filePath(output))});
        shown.replaceInStrings("out-%1", output);
        QCOMPARE(prompts_->shown, shown);
    }

    // The window closes once the engine has returned, never during its call.
    void closeDuringARun() {
        TMainForm window(Options());
        window.show();
        window.txtSrcFile->setText(largeImage_);
        window.txtDstFile->setText(NewFolder("closed"));
        bool visibleAfterClose = false;
        QTimer::singleShot(0, &window, [&] {
            window.close();
            visibleAfterClose = window.isVisible();
        });
        window.btnRepair->click();
        QVERIFY(visibleAfterClose);
        QCOMPARE(window.txtRepairLog->Lines().last(), QString("User aborts the recovery process"));
        QVERIFY(prompts_->shown.isEmpty());  // a window on its way out shows no box
        QTRY_VERIFY(!window.isVisible());
    }

    // Disk images as sources: dropped on the window or chosen with the
    // button, listed under their path until the next refresh.
    void imageSources() {
        TMainForm window(Options());
        window.show();
        QCOMPARE(DragAndDrop(window, {QUrl::fromLocalFile(smallImage_)}), std::make_pair(true, true));
        QCOMPARE(window.txtSrcFile->text(), smallImage_);
        QCOMPARE(window.cmbSrcDrives->count(), 1);
        QCOMPARE(SelectedDriveText(window.cmbSrcDrives), smallImage_);
        QCOMPARE(window.Drives->DevicePathOf(smallImage_), smallImage_);

        prompts_->fileAnswer = largeImage_;
        window.btnSrcImage->click();
        QCOMPARE(window.cmbSrcDrives->count(), 2);
        QCOMPARE(SelectedDriveText(window.cmbSrcDrives), largeImage_);
        window.cmbSrcDrives->setCurrentIndex(0);  // the user picks the first again
        QCOMPARE(window.txtSrcFile->text(), smallImage_);

        QCOMPARE(DragAndDrop(window, {QUrl::fromLocalFile(folder_.path())}), std::make_pair(false, false));
        QCOMPARE(window.cmbSrcDrives->count(), 2);  // a folder is no source

        window.txtDstFile->setText("/tmp/out");
        QVERIFY(window.btnRepair->isEnabled());
        window.btnSrcRefresh->click();
        QCOMPARE(window.cmbSrcDrives->count(), 0);
        QCOMPARE(window.txtSrcFile->text(), QString());
        QVERIFY(!window.btnRepair->isEnabled());
    }

    void destinationPicker_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("field");
        QTest::newRow("a separator is added") << "/srv/mail" << "/srv/mail/";
        QTest::newRow("kept when there") << "/srv/mail/" << "/srv/mail/";
        QTest::newRow("cancelled") << "" << "typed";
    }
    void destinationPicker() {
        QFETCH(QString, answer);
        QFETCH(QString, field);
        TMainForm window(Options());
        window.txtDstFile->setText("typed");
        prompts_->folderAnswer = answer;
        window.btnDstMore->click();
        QCOMPARE(window.txtDstFile->text(), field);
    }

    // First start: the defaults in the controls; at exit the nine values.
    void optionsLoadAndSave() {
        const QString store = folder_.filePath(QString("store-%1.ini").arg(++stores_));
        {
            TMainForm window(Options({}, store));
            QVERIFY(window.chkOpenFixed->isChecked());
            QVERIFY(!window.chkUseNewDir->isChecked());
            QCOMPARE(window.txtMaxMsgCount->value(), 10000);
            QVERIFY(!window.txtMaxMsgCount->isEnabled());
            QCOMPARE(window.txtTempDir->text(), QDir::tempPath() + "/");
            QCOMPARE(window.txtBufSize->value(), 512);
            QVERIFY(window.chkStoreAware->isChecked());
            QCOMPARE(window.EngineOptions(), (10000u << 16) | 2u);

            window.chkUseNewDir->click();
            QVERIFY(window.txtMaxMsgCount->isEnabled());
            window.txtMaxMsgCount->setValue(123);
            window.txtBufSize->setValue(4096);
            window.chkStoreAware->click();
            QCOMPARE(window.EngineOptions(), (123u << 16) | 1u);
            QStringList info;
            window.AddSettingInfo(info);
            QCOMPARE(info[6], QString("Rebuild messages store by store (recommended for whole disks): No"));
            QCOMPARE(info[7], QString(56, '-'));
        }
        const QMap<QString, QString> saved = StoredValues(store);
        QCOMPARE(saved.size(), 9);
        QCOMPARE(saved.value("OpenFixed"), QString("1"));
        QCOMPARE(saved.value("UseNewDir"), QString("1"));
        QCOMPARE(saved.value("MaxMsgCount"), QString("123"));
        QCOMPARE(saved.value("BufSize"), QString("4096"));
        QCOMPARE(saved.value("StoreAware"), QString("0"));

        TMainForm again(Options({}, store));
        QVERIFY(again.txtMaxMsgCount->isEnabled());
        QCOMPARE(again.txtMaxMsgCount->value(), 123);
        QVERIFY(!again.chkStoreAware->isChecked());
    }

    void helpAndAboutPage() {
        TMainForm window(Options());
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QString programFolder = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
        const QUrl manual = QUrl::fromLocalFile(programFolder + "/help/index.html");
        const QUrl readme = QUrl::fromLocalFile(programFolder + "/help/README.md");
        window.btnHelp->click();
        QTest::keyClick(&window, Qt::Key_F1);
        window.btnAboutTab->click();
        QTest::mouseClick(window.labHomepage, Qt::LeftButton);
        QTest::mouseClick(window.labSupportCenter, Qt::LeftButton);
        QTest::mouseClick(window.imgLogo, Qt::LeftButton);
        QCOMPARE(prompts_->opened, QList<QUrl>({manual, manual, readme, manual, readme}));
        QCOMPARE(window.labTitle->text(), QString("Ostrel"));
        QCOMPARE(window.labVersion->text(), QString(PROJECT_VERSION_TEXT));
        QVERIFY(!window.labEmail->isVisible());  // no address to write to
        QCOMPARE(window.labHomepage->x(), window.labHomepagePrompt->geometry().right() + 1 + 10);
        QCOMPARE(window.labSupportCenter->x(), window.labSupportCenterPrompt->geometry().right() + 1 + 10);
    }
};

QTEST_MAIN(TestMainFrm)
#include "tst_MainFrm.moc"
