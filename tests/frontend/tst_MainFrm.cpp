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

#include <sys/stat.h>
#include <sys/sysmacros.h>

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
#include "TolvanBatch.h"
#include "TolvanLook.h"
#include "TolvanPanel.h"
#include "WindowTestKit.h"

using namespace tolvan;
using namespace tolvan::testing;

namespace {

const QString kSeparator(56, QLatin1Char('-'));
const QString kCloseQuestion =
    "choose: A recovery is running. Stop it and close the window? [Stop and close | Keep running]";

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
        QCOMPARE(window.labConsumedTime->text(), QString("0 hour(s) 0 minute(s) 0 second(s)"));
        QCOMPARE(window.labSelSrcFile->text(), QString("Select &drive or disk to be scanned:"));
        QCOMPARE(window.labSelDstFile->text(), QString("O&utput recovered messages to:"));
        QVERIFY(!window.Running());
        QVERIFY(!window.Timer.isActive());
        QCOMPARE(window.Timer.interval(), 1000);  // the consumed time counts seconds
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
            QCOMPARE(progress.top(), dstBottom + 10);
            QVERIFY(progress.bottom() < window.labRepairLog->mapTo(window.palClient, QPoint(0, 0)).y());
            QCOMPARE(window.Gauge->geometry().bottom() + 1 + 6, progress.height());
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
                report->btnExport->click();
            }
            return QDialog::Rejected;
        };
        prompts_->saveAnswer = NewFolder("exported") + ".csv";
        QTest::mouseClick(window.btnRepair, Qt::LeftButton);

        // Export writes what `varrow recover --report` writes for the same image.
        const QString reference = NewFolder("varrow-reference");
        QVERIFY(QDir().mkpath(reference));
        QProcess varrow;
        varrow.start(VARROW_PROGRAM, {"recover", "--quiet", "--report", reference + ".csv", smallImage_, reference});
        QVERIFY(varrow.waitForFinished(60000));
        QCOMPARE(varrow.exitCode(), 0);
        QFile exported(prompts_->saveAnswer), expected(reference + ".csv");
        QVERIFY(exported.open(QIODevice::ReadOnly) && expected.open(QIODevice::ReadOnly));
        QCOMPARE(exported.readAll(), expected.readAll());

        const QStringList log = window.txtRepairLog->Lines();
        const QString success = QString("The Outlook Express data on '%1' are recoverable.").arg(smallImage_);
        QCOMPARE(log.mid(0, 6),
                 QStringList({"Start recovery process ...", kSeparator,
                              QString("Drive or disk to be recovered: '%1'; Total size = %2 bytes")
                                  .arg(smallImage_, Grouped(smallImageSize_)),
                              QString("Output recovered messages to: '%1'").arg(output), "Linking: store by store",
                              kSeparator}));
        // The engine names the source's format and size first.
        QVERIFY(log[6].startsWith("Source format: raw file"));
        QVERIFY(log[7].startsWith("Media size: "));
        QCOMPARE(log.size(), 8 + 6 * kSmallMessages + 7);
        for (int m = 0; m < kSmallMessages; ++m) {
            QCOMPARE(log[8 + 6 * m], QString("Start processing message (No.%1) ...").arg(m + 1));
            QCOMPARE(log[8 + 6 * m + 4], QString("Finish processing message (No.%1).").arg(m + 1));
            QCOMPARE(log[8 + 6 * m + 5], kSeparator);
        }
        const QStringList closing = log.mid(log.size() - 7);
        QCOMPARE(closing[0], kSeparator);
        QVERIFY2(QRegularExpression("^Consumed time: 0 hour\\(s\\) \\d+ minute\\(s\\) \\d+ second\\(s\\) \\d+ "
                                    "millisecond\\(s\\)\\.$")
                     .match(closing[1])
                     .hasMatch(),
                 qPrintable(closing[1]));
        const QString totals = QString("%1 message(s) written (%1 complete, 0 incomplete); 0 identical copy(ies) not "
                                       "written again; 0 could not be written.")
                                   .arg(kSmallMessages);
        QCOMPARE(closing.mid(2), QStringList({kSeparator, "Recovery process completes.", kSeparator, success, totals}));

        QCOMPARE(prompts_->shown, QStringList({"dialog: tolvan::TMsgForm", "dialog: tolvan::TReportForm"}));
        QVERIFY2(summaryText.startsWith(success + " " + totals + " "), qPrintable(summaryText));
        QCOMPARE(headers, QStringList({"Message No.", "Subject", "File", "Size", "Date", "From", "Complete", "Duplicate of"}));
        QCOMPARE(rows.size(), kSmallMessages);
        for (int m = 0; m < kSmallMessages; ++m) QVERIFY2(rows[m].startsWith(QString::number(m + 1) + " | "), qPrintable(rows[m]));
        QCOMPARE(reportTitle, QString("%1 message(s) from '%2' written (0 incomplete); 0 identical copy(ies) not written "
                                      "again; 0 could not be written:")
                                  .arg(kSmallMessages)
                                  .arg(smallImage_));
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

    // `tolvan -e IMAGE OUT` writes the same files as `varrow recover IMAGE
    // OUT`, shows no box and ends with status 0.
    void commandLineExitRecoversAsTheCommandLineClientDoes() {
        const QString output = NewFolder("tolvan-out");
        TMainForm window(Options({"-e", smallImage_, output}));
        QTRY_VERIFY(!window.txtRepairLog->Lines().isEmpty());
        QTRY_VERIFY(!window.isVisible());  // the program ends after the run
        QVERIFY(prompts_->shown.isEmpty());
        QCOMPARE(window.ExitStatus(), 0);
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

    // Without -e the error box waits and the window stays; with -e nothing
    // waits: the program ends with status 1 (the text goes to standard error).
    void commandLineNamesNoFile_data() {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<bool>("staysOpen");
        QTest::newRow("only switches") << QStringList{"-o"} << QStringList{"error: Cannot open file "} << true;
        QTest::newRow("missing file") << QStringList{"/no/such/disk.img"}
                                      << QStringList{"error: Cannot open file /no/such/disk.img"} << true;
        QTest::newRow("only switches, unattended") << QStringList{"-e", "-o"} << QStringList{} << false;
        QTest::newRow("missing file, unattended") << QStringList{"-e", "/no/such/disk.img"} << QStringList{} << false;
    }
    void commandLineNamesNoFile() {
        QFETCH(QStringList, parameters);
        QFETCH(QStringList, shown);
        QFETCH(bool, staysOpen);
        TMainFormOptions options = Options(parameters);
        options.engine = &FakeEngine::Entry;
        TMainForm window(options);
        if (staysOpen)
            QTRY_VERIFY(window.isVisible() && !prompts_->shown.isEmpty());
        else
            QTRY_COMPARE(window.ExitStatus(), 1);
        QCOMPARE(window.isVisible(), staysOpen);
        QCOMPARE(prompts_->shown, shown);
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
        int gaugeAtStop = -1;
        QTimer::singleShot(0, &window, [&] {
            captionDuringRun = window.btnRepair->text();
            lookDuringRun = SkinElement(window.btnRepair);
            timerDuringRun = window.Timer.isActive();
            gaugeAtStop = window.Gauge->value();
            window.btnRepair->click();
            window.btnRepair->click();
        });
        window.btnRepair->click();
        QCOMPARE(captionDuringRun, QString("&Stop Recovery"));
        QCOMPARE(lookDuringRun, QString(kSkinStopButton));
        QVERIFY(timerDuringRun);
        const QStringList log = window.txtRepairLog->Lines();
        QCOMPARE(log.count("Start recovery process ..."), 1);
        // Nothing was written: a failure that says why, after the stop text.
        const QString failure = QString("Fail to recover Outlook Express data from '%1'! The recovery was stopped "
                                        "before any message was written.")
                                    .arg(largeImage_);
        QCOMPARE(log.mid(log.size() - 3), QStringList({kSeparator, "User aborts the recovery process", failure}));
        QCOMPARE(prompts_->shown, QStringList{"information: User aborts the recovery process\n" + failure});
        // The gauge and its label keep the point of the stop, not the engine's closing 100.
        QCOMPARE(window.Gauge->value(), gaugeAtStop);
        QCOMPARE(window.labProgress->text(), QString("%1% completed").arg(gaugeAtStop));
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
        QCOMPARE(FakeEngine::params.options, (250u << 16) | 1u | (VARROW_OPTIONS_BEST & ~VARROW_OPTION_STORE_AWARE));
        const QString failure =
            QString("Fail to recover Outlook Express data from '%1'! The recovery log tells why.").arg(smallImage_);
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
        QVERIFY(window.txtRepairLog->Lines().contains("User aborts the recovery process"));
        // The question, and nothing after it: a window on its way out shows no box.
        QCOMPARE(prompts_->shown, QStringList{kCloseQuestion});
        QTRY_VERIFY(!window.isVisible());
    }

    // "Keep running": the run goes on to its end and the window stays.
    void closeDeclinedDuringARun() {
        TMainForm window(FakeEngineOptions());
        window.show();
        window.chkOpenFixed->setChecked(false);
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText(NewFolder("kept"));
        prompts_->choiceAnswers = {1};
        FakeEngine::script = [&](const RecoveryParams& record) {
            window.close();
            const uint8_t percent = 60;
            FakeEngine::Send(record, EV_PROGRESS, &percent);
            FakeEngine::SendMessages(record, 2);
            return record.callback(EV_QUERY_ABORT, nullptr, record.userData) == 0 ? 1 : 0;
        };
        window.btnRepair->click();
        QCOMPARE(prompts_->shown, QStringList({kCloseQuestion, "dialog: tolvan::TMsgForm"}));
        QCOMPARE(window.LastOutcome().kind, TOutcomeKind::Success);
        QTest::qWait(10);
        QVERIFY(window.isVisible());
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

        // A refresh keeps the images the user added, with none selected.
        window.txtDstFile->setText("/tmp/out");
        QVERIFY(window.btnRepair->isEnabled());
        window.btnSrcRefresh->click();
        QCOMPARE(window.cmbSrcDrives->count(), 2);
        QCOMPARE(window.ImageSources(), QStringList({smallImage_, largeImage_}));
        QCOMPARE(window.txtSrcFile->text(), QString());
        QVERIFY(!window.btnRepair->isEnabled());

        // ...until the user removes one.
        window.cmbSrcDrives->setCurrentIndex(1);
        window.RemoveImageSource(largeImage_);
        QCOMPARE(window.cmbSrcDrives->count(), 1);
        QCOMPARE(window.txtSrcFile->text(), QString());
        QVERIFY(window.Drives->DevicePathOf(largeImage_).size() > 0);  // still a file the engine can open...
        QVERIFY(!window.Drives->DriveDisplayList.contains(largeImage_));  // ...but no entry of the list
        window.btnSrcRefresh->click();
        QCOMPARE(window.cmbSrcDrives->count(), 1);
    }

    // A folder dropped on the output field replaces its text with the
    // folder's path; a file is not the field's: it goes on to the window,
    // which takes it as the source.
    void folderDroppedOnTheOutputField() {
        TMainForm window(Options());
        window.show();
        window.txtDstFile->setText("typed before");
        window.txtDstFile->setCursorPosition(3);
        QCOMPARE(DragAndDrop(*window.txtDstFile, {QUrl::fromLocalFile(folder_.path())}), std::make_pair(true, true));
        QCOMPARE(window.txtDstFile->text(), folder_.path());
        QCOMPARE(DragAndDrop(*window.txtDstFile, {QUrl::fromLocalFile(smallImage_)}), std::make_pair(true, true));
        QCOMPARE(window.txtDstFile->text(), folder_.path());
        QCOMPARE(window.txtSrcFile->text(), smallImage_);
    }

    // The run's texts name the source it started with, also when the drive
    // list was refreshed while it ran (Add Drive/Disk refreshes it).
    void sourceNameKeptAcrossARefresh() {
        TMainForm window(FakeEngineOptions());
        window.chkOpenFixed->setChecked(false);
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText(NewFolder("refreshed"));
        QString summaryText, reportSource;
        prompts_->onDialog = [&](QDialog& dialog) {
            if (auto* summary = qobject_cast<TMsgForm*>(&dialog)) summaryText = summary->labMsg->text();
            reportSource = window.Report().source;
            return int(QDialog::Rejected);
        };
        FakeEngine::script = [&](const RecoveryParams& record) {
            window.palBatchRecovery->btnAddFiles->click();  // refreshes the list; its dialog is cancelled
            FakeEngine::SendMessages(record, 1);
            return 1;
        };
        window.btnRepair->click();
        const QString success = QString("The Outlook Express data on '%1' are recoverable.").arg(smallImage_);
        QVERIFY(window.txtRepairLog->Lines().contains(success));
        QVERIFY2(summaryText.startsWith(success), qPrintable(summaryText));
        QCOMPARE(reportSource, smallImage_);
        QCOMPARE(window.RunSource(), smallImage_);
    }

    // Messages found but none written (a read-only output folder): a
    // failure, not the summary; the folder is not opened.
    void nothingWrittenIsAFailure() {
        TMainForm window(FakeEngineOptions());
        window.chkOpenFixed->setChecked(true);
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText(NewFolder("read-only"));
        FakeEngine::script = [](const RecoveryParams& record) {
            FakeEngine::SendMessages(record, 3);
            for (int i = 0; i < 3; ++i) FakeEngine::Send(record, EV_ERROR, "Error 6: Cannot create message file.");
            return 1;
        };
        window.btnRepair->click();
        const QString failure = QString("Fail to recover Outlook Express data from '%1'! 3 message(s) were found, but "
                                        "none could be written to the output folder.")
                                    .arg(smallImage_);
        const QString totals = "0 message(s) written; 3 could not be written.";
        QCOMPARE(prompts_->shown, QStringList{"information: " + failure + "\n" + totals});
        QCOMPARE(window.txtRepairLog->Lines().mid(window.txtRepairLog->LineCount() - 2), QStringList({failure, totals}));
        QVERIFY(prompts_->opened.isEmpty());
        QCOMPARE(window.ExitStatus(), 1);
    }

    // -e never waits: no box, the window closes, the status tells the outcome.
    void unattendedExitStatus_data() {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("failed");
        QTest::addColumn<int>("status");
        QTest::newRow("every message written") << 3 << 0 << 0;
        QTest::newRow("some could not be written") << 3 << 1 << 3;
        QTest::newRow("none could be written") << 0 << 2 << 1;
    }
    void unattendedExitStatus() {
        QFETCH(int, written);
        QFETCH(int, failed);
        QFETCH(int, status);
        TMainFormOptions options = FakeEngineOptions();
        options.parameters = {smallImage_, NewFolder("unattended"), "-e", "-o"};
        FakeEngine::script = [&](const RecoveryParams& record) {
            FakeEngine::SendMessages(record, written + failed);
            for (int i = 0; i < failed; ++i) FakeEngine::Send(record, EV_ERROR, "Error 6: Cannot create message file.");
            FakeEngine::Send(record, EV_ALERT, "An alert waits for no one either.");
            return 1;
        };
        TMainForm window(options);
        QTRY_VERIFY(FakeEngine::calls == 1 && !window.isVisible());
        QVERIFY(prompts_->shown.isEmpty());
        QCOMPARE(window.ExitStatus(), status);
        QCOMPARE(prompts_->opened.size(), written > 0 ? 1 : 0);  // -o opens the folder without waiting
    }

    // While a dialog is open during a run the engine waits inside the
    // pump; the progress panel says so until the dialog closes.
    void pausedWhileADialogIsOpen() {
        TMainForm window(FakeEngineOptions());
        window.show();
        window.chkOpenFixed->setChecked(false);
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText(NewFolder("paused"));
        QString whileOpen, afterClose, beforeOpen;
        FakeEngine::script = [&](const RecoveryParams& record) {
            uint8_t percent = 10;
            FakeEngine::Send(record, EV_PROGRESS, &percent);
            beforeOpen = window.labFigures->text();
            QTimer::singleShot(0, &window, [&] {
                QDialog dialog(&window);
                QTimer::singleShot(0, &dialog, [&] {
                    whileOpen = window.labFigures->text();
                    dialog.reject();
                });
                dialog.exec();
                afterClose = window.labFigures->text();
            });
            percent = 20;
            FakeEngine::Send(record, EV_PROGRESS, &percent);  // the pump opens the dialog
            FakeEngine::SendMessages(record, 1);
            return 1;
        };
        window.btnRepair->click();
        QCOMPARE(whileOpen, QString("The recovery is paused while a dialog is open; it goes on when the dialog is closed."));
        QCOMPARE(afterClose, beforeOpen);
        // Once the run is over the line holds its figures.
        QCOMPARE(window.labFigures->text(), QString("1 message(s) written; 0 could not be written."));
    }

    // An empty image: the log says why before the run, and the failure too.
    void emptySourceSaysWhy() {
        const QString empty = folder_.filePath("empty.img");
        QFile file(empty);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        TMainForm window(Options());
        window.txtSrcFile->setText(empty);
        window.txtDstFile->setText(NewFolder("from-empty"));
        window.btnRepair->click();
        const QStringList log = window.txtRepairLog->Lines();
        QVERIFY(log.contains(QString("The source '%1' is empty (0 bytes): there is nothing to scan, or no medium in "
                                     "the drive.")
                                 .arg(empty)));
        QCOMPARE(log.last(), QString("Fail to recover Outlook Express data from '%1'! The source is empty: it holds "
                                     "no data to scan.")
                                 .arg(empty));
    }

    // The output folder is opened only after a run that wrote messages and
    // was not stopped, and only when the desktop can show folders.
    void openingTheOutputFolder_data() {
        QTest::addColumn<bool>("folderOpener");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<bool>("opened");
        QTest::newRow("a program shows folders") << true << false << true;
        QTest::newRow("no program shows folders") << false << false << false;
        QTest::newRow("stopped after some messages") << true << true << false;
    }
    void openingTheOutputFolder() {
        QFETCH(bool, folderOpener);
        QFETCH(bool, stop);
        QFETCH(bool, opened);
        TMainForm window(FakeEngineOptions());
        window.chkOpenFixed->setChecked(true);
        window.txtSrcFile->setText(smallImage_);
        window.txtDstFile->setText(NewFolder("open"));
        prompts_->folderOpener = folderOpener;
        FakeEngine::script = [&](const RecoveryParams& record) {
            FakeEngine::SendMessages(record, 2);
            if (stop) window.btnRepair->click();
            return 1;
        };
        window.btnRepair->click();
        QCOMPARE(prompts_->opened.size(), opened ? 1 : 0);
        QVERIFY(!prompts_->shown.join(" ").contains("Cannot open directory"));
        if (stop) {
            QCOMPARE(prompts_->shown, QStringList{"information: User aborts the recovery process\n2 message(s) written; 0 "
                                                  "could not be written."});
        }
    }

    // A folder on the disk being scanned: the question comes before the
    // folder is made; "Choose another folder" makes nothing and opens the
    // picker, "Continue" runs with a warning in the log. Needs the block
    // device the test folder lies on.
    void outputOnTheScannedDisk() {
        struct stat folder;
        QVERIFY(::stat(QFile::encodeName(folder_.path()).constData(), &folder) == 0);
        QFile uevent(QString("/sys/dev/block/%1:%2/uevent").arg(major(folder.st_dev)).arg(minor(folder.st_dev)));
        QString device;
        if (uevent.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : uevent.readAll().split('\n'))
                if (line.startsWith("DEVNAME=")) device = "/dev/" + QString::fromUtf8(line.mid(8));
        }
        if (device.isEmpty() || !IsImageSource(device)) QSKIP("the test folder's device has no node under /dev");
        TMainForm window(FakeEngineOptions());
        window.chkOpenFixed->setChecked(false);
        window.txtSrcFile->setText(device);
        const QString output = NewFolder("on-the-source");
        window.txtDstFile->setText(output);
        prompts_->choiceAnswers = {1, 0};
        window.btnRepair->click();
        QCOMPARE(FakeEngine::calls, 0);
        QVERIFY(!QFileInfo::exists(output));
        QVERIFY(prompts_->shown.value(0).startsWith("choose: The output folder lies on the drive or disk being scanned:"));
        QVERIFY(prompts_->shown.value(0).endsWith("[Continue | Choose another folder]"));
        QCOMPARE(window.txtRepairLog->Lines().last(), QString("Recovery process is aborted."));

        prompts_->shown.clear();
        window.btnRepair->click();
        QCOMPARE(FakeEngine::calls, 1);
        QVERIFY(window.txtRepairLog->Lines().contains("Warning: the output folder lies on the drive or disk being scanned."));
    }

    // The program itself: --help prints the usage and needs no display;
    // -e ends on its own with the run's status and writes what varrow writes.
    void theProgramFromAShell() {
        QProcess help;
        QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
        noDisplay.remove("DISPLAY");
        noDisplay.remove("QT_QPA_PLATFORM");
        help.setProcessEnvironment(noDisplay);
        help.start(TOLVAN_PROGRAM, {"--help"});
        QVERIFY(help.waitForFinished(30000));
        QCOMPARE(help.exitCode(), 0);
        QVERIFY(help.readAllStandardOutput().startsWith("Usage: tolvan [SOURCE [OUTPUT-FOLDER]] [-o] [-e]\n"));

        const QString output = NewFolder("program-out");
        QProcess tolvan;
        QProcessEnvironment offscreen = QProcessEnvironment::systemEnvironment();
        offscreen.insert("QT_QPA_PLATFORM", "offscreen");
        offscreen.insert("XDG_CONFIG_HOME", folder_.filePath("program-config"));
        tolvan.setProcessEnvironment(offscreen);
        tolvan.start(TOLVAN_PROGRAM, {"-e", smallImage_, output});
        QVERIFY(tolvan.waitForFinished(60000));
        QCOMPARE(tolvan.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tolvan.exitCode(), 0);
        QCOMPARE(EmlFiles(output).size(), kSmallMessages);

        tolvan.start(TOLVAN_PROGRAM, {"-e", folder_.filePath("no-such.img"), output});
        QVERIFY(tolvan.waitForFinished(60000));
        QCOMPARE(tolvan.exitCode(), 1);
        QVERIFY(tolvan.readAllStandardError().contains("tolvan: Cannot open file "));
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
            for (QCheckBox* box : {window.chkStoreAware, window.chkReadableNames, window.chkFileDates,
                                   window.chkSkipIdentical})
                QVERIFY(box->isChecked());
            QCOMPARE(window.EngineOptions(), (10000u << 16) | VARROW_OPTIONS_BEST);

            window.chkUseNewDir->click();
            QVERIFY(window.txtMaxMsgCount->isEnabled());
            window.txtMaxMsgCount->setValue(123);
            window.txtBufSize->setValue(4096);
            window.chkStoreAware->click();
            window.chkFileDates->click();
            QCOMPARE(window.EngineOptions(),
                     (123u << 16) | 1u | (VARROW_OPTIONS_BEST & ~VARROW_OPTION_STORE_AWARE & ~VARROW_OPTION_FILE_DATES));
            QStringList info;
            window.AddSettingInfo(info);
            QCOMPARE(info.mid(6, 5),
                     QStringList({"Rebuild messages store by store (recommended for whole disks): No",
                                  "Name files after the readable subjec&t (decoded, in any language): Yes",
                                  "Give each &file the date its message was sent: No",
                                  "&Write identical copies of a message only once: Yes", QString(56, '-')}));
        }
        const QMap<QString, QString> saved = StoredValues(store);
        QCOMPARE(saved.size(), 12);
        QCOMPARE(saved.value("FileDates"), QString("0"));
        QCOMPARE(saved.value("ReadableNames"), QString("1"));
        QCOMPARE(saved.value("SkipIdentical"), QString("1"));
        QCOMPARE(saved.value("OpenFixed"), QString("1"));
        QCOMPARE(saved.value("UseNewDir"), QString("1"));
        QCOMPARE(saved.value("MaxMsgCount"), QString("123"));
        QCOMPARE(saved.value("BufSize"), QString("4096"));
        QCOMPARE(saved.value("StoreAware"), QString("0"));

        TMainForm again(Options({}, store));
        QVERIFY(again.txtMaxMsgCount->isEnabled());
        QCOMPARE(again.txtMaxMsgCount->value(), 123);
        QVERIFY(!again.chkStoreAware->isChecked());
        QVERIFY(!again.chkFileDates->isChecked() && again.chkReadableNames->isChecked());
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
