// The Batch Recovery page driven as a user drives it: its list and
// buttons, rows added through the add-drive dialog, batch runs over built
// disk images (statuses, the count box, a stop, a second run), rows
// removed while a run goes on, and the closing steps on every way out.
#include <QtTest>

#include <stdexcept>

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "BatchList.h"
#include "DragEdit.h"
#include "DriveCombo.h"
#include "LogPane.h"
#include "MainFrm.h"
#include "ScriptedPrompts.h"
#include "SelDriveFrm.h"
#include "TestImages.h"
#include "TolvanBatch.h"
#include "TolvanLook.h"
#include "TolvanPanel.h"
#include "WindowTestKit.h"

using namespace tolvan;
using namespace tolvan::testing;

namespace {

QStringList Statuses(const TBatchList& list) {
    QStringList statuses;
    for (const TBatchList::TRow& row : list.Rows()) statuses.append(list.Status(row));
    return statuses;
}

QStringList Sources(const TBatchList& list) {
    QStringList sources;
    for (const TBatchList::TRow& row : list.Rows()) sources.append(list.Source(row));
    return sources;
}

int EmlCount(const QString& folder) { return QDir(folder).entryList({"*.eml"}, QDir::Files).size(); }

}  // namespace

class TestBatchPage : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    NoDisks noDisks_;
    std::unique_ptr<ScriptedPrompts> prompts_;
    std::unique_ptr<TPromptsOverride> override_;
    QStringList images_;  // three small images
    QString largeImage_;
    QString blocker_;     // a plain file: no folder can be made below it
    int serial_ = 0;

    TMainFormOptions Options(bool fakeEngine = false) {
        TMainFormOptions options;
        options.storeFile = folder_.filePath(QString("store-%1.ini").arg(++serial_));
        options.drives.sysRoot = folder_.filePath("no-sysfs");
        options.drives.access = &noDisks_;
        if (fakeEngine) options.engine = &FakeEngine::Entry;
        return options;
    }
    QString NewFolder() { return folder_.filePath(QString("out-%1").arg(++serial_)); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QApplication::setQuitOnLastWindowClosed(false);
        ApplyApplicationLook();
        for (int i = 0; i < 3; ++i) {
            images_.append(folder_.filePath(QString("three-messages-%1.img").arg(i)));
            WriteStoreImage(images_.last(), 3, 32 * 1024, 10 + i);
        }
        largeImage_ = folder_.filePath("store-after-8-MB-of-noise.img");
        WriteStoreImage(largeImage_, 5, 8 << 20);
        blocker_ = folder_.filePath("a-plain-file");
        QFile blocker(blocker_);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }

    void init() {
        override_.reset();
        prompts_ = std::make_unique<ScriptedPrompts>();
        override_ = std::make_unique<TPromptsOverride>(*prompts_);
        FakeEngine::Reset();
    }

    void cleanup() { override_.reset(); }

    // The columns keep their widths once shown, the status column filling
    // the rest; every control lies inside the page.
    void pageLayout() {
        TMainForm window(Options());
        window.show();
        window.btnBatchRepairTab->click();
        const QHeaderView* header = window.palBatchRecovery->FileList->header();
        QCOMPARE(header->sectionSize(0), 250);
        QCOMPARE(header->sectionSize(1), 250);
        QVERIFY(header->sectionSize(2) >= 91);
        QCOMPARE(window.palBatchRecovery->labFileList->buddy(), window.palBatchRecovery->FileList);
        for (QWidget* child : window.palBatchRecovery->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY(window.palBatchRecovery->rect().contains(child->geometry()));
        QVERIFY(!window.palBatchRecovery->btnRepairFiles->geometry().intersects(window.palProgress->geometry()));
    }

    // A source is listed once, whatever its folder; compared exactly.
    void duplicatesRefused() {
        TMainForm window(Options());
        window.AddBatchRow("/dev/sdb1  (Fixed Drive)", "/srv/a");
        window.AddBatchRow("/dev/sdb1  (Fixed Drive)", "/srv/b");
        QCOMPARE(prompts_->shown, QStringList{"error: Drive or disk already exists in the list"});
        window.AddBatchRow("/dev/sdb1  (fixed drive)", "/srv/b");
        window.AddBatchRow("/dev/sdb1", "/srv/c");
        QCOMPARE(Sources(*window.palBatchRecovery->FileList),
                 QStringList({"/dev/sdb1  (Fixed Drive)", "/dev/sdb1  (fixed drive)", "/dev/sdb1"}));
        QCOMPARE(window.palBatchRecovery->FileList->Folder(window.palBatchRecovery->FileList->Rows().first()), QString("/srv/a"));
        QCOMPARE(Statuses(*window.palBatchRecovery->FileList), QStringList(3, "Not Recovered"));
    }

    // Delete removes the selected rows, Shift+Delete every row; the
    // buttons do the same.
    void removingRows() {
        TMainForm window(Options());
        window.show();
        for (const char* name : {"a", "b", "c", "d"}) window.AddBatchRow(name, QString("/srv/") + name);
        window.palBatchRecovery->FileList->topLevelItem(0)->setSelected(true);
        window.palBatchRecovery->FileList->topLevelItem(2)->setSelected(true);
        QTest::keyClick(window.palBatchRecovery->FileList, Qt::Key_Down);  // other keys keep their usual effect
        QCOMPARE(window.palBatchRecovery->FileList->RowCount(), 4);
        window.palBatchRecovery->FileList->clearSelection();
        window.palBatchRecovery->FileList->topLevelItem(0)->setSelected(true);
        window.palBatchRecovery->FileList->topLevelItem(2)->setSelected(true);
        QTest::keyClick(window.palBatchRecovery->FileList, Qt::Key_Delete);
        QCOMPARE(Sources(*window.palBatchRecovery->FileList), QStringList({"b", "d"}));
        window.palBatchRecovery->FileList->topLevelItem(1)->setSelected(true);
        window.palBatchRecovery->btnRemoveFiles->click();
        QCOMPARE(Sources(*window.palBatchRecovery->FileList), QStringList({"b"}));
        QTest::keyClick(window.palBatchRecovery->FileList, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(window.palBatchRecovery->FileList->RowCount(), 0);
        window.AddBatchRow("e", "/srv/e");
        window.palBatchRecovery->btnRemoveAll->click();
        QCOMPARE(window.palBatchRecovery->FileList->RowCount(), 0);
    }

    void emptyList() {
        TMainForm window(Options(true));
        window.txtRepairLog->AppendLine("kept");
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(prompts_->shown, QStringList{"information: Please add drives or disks to the list first"});
        QCOMPARE(window.txtRepairLog->Lines(), QStringList{"kept"});
        QVERIFY(!window.FlowActive());
        QCOMPARE(FakeEngine::calls, 0);
    }

    // Three images, the second with a folder that cannot be made: the
    // real engine recovers the other two, each into its own folder.
    void threeRowsSecondFolderImpossible() {
        TMainForm window(Options());
        const QStringList folders{NewFolder(), blocker_ + "/out", NewFolder()};
        for (int i = 0; i < 3; ++i) window.AddBatchRow(images_[i], folders[i]);
        window.txtRepairLog->AppendLine("an older run");
        QString captionDuringRun;
        QStringList logDuringRun;
        prompts_->onInformation = [&](const QString&) {
            captionDuringRun = window.palBatchRecovery->btnRepairFiles->text();
            logDuringRun = window.txtRepairLog->Lines();
        };
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(Statuses(*window.palBatchRecovery->FileList), QStringList({"Successful", "Not Recovered", "Successful"}));
        QCOMPARE(prompts_->shown, QStringList{"information: 2 drive(s) or disk(s) recovered successfully"});
        QCOMPARE(captionDuringRun, QString("&Stop Recovery"));  // the count box comes before the closing steps
        QVERIFY(!logDuringRun.contains("an older run"));         // the log is emptied at the start...
        QVERIFY(logDuringRun.contains("Start processing message (No.1) ..."));
        QVERIFY(window.txtRepairLog->Lines().isEmpty());         // ...and again at the end
        QCOMPARE(EmlCount(folders[0]), 3);
        QCOMPARE(EmlCount(folders[2]), 3);
        QVERIFY(!QFileInfo::exists(folders[1]));
        QCOMPARE(window.palBatchRecovery->btnRepairFiles->text(), QString("&Start Recovery"));
        QCOMPARE(SkinElement(window.palBatchRecovery->btnRepairFiles), QString(kSkinStartButton));
        QVERIFY(!window.Running() && !window.FlowActive() && !window.Timer.isActive());
        QVERIFY(window.ReportCells().isEmpty());
    }

    // A stop during the first row ends the batch after it, from either
    // page's Start button.
    void stopDuringTheFirstRow_data() {
        QTest::addColumn<bool>("fromRecoveryPage");
        QTest::newRow("batch page's button") << false;
        QTest::newRow("Recovery page's button") << true;
    }
    void stopDuringTheFirstRow() {
        QFETCH(bool, fromRecoveryPage);
        TMainForm window(Options());
        window.show();
        window.txtSrcFile->setText(images_[0]);  // the Recovery page's button is enabled
        window.txtDstFile->setText(NewFolder());
        window.AddBatchRow(largeImage_, NewFolder());
        window.AddBatchRow(images_[1], NewFolder());
        window.AddBatchRow(images_[2], NewFolder());
        QString lookDuringRun;
        bool timerDuringRun = false;
        QTimer::singleShot(0, &window, [&] {
            lookDuringRun = SkinElement(window.palBatchRecovery->btnRepairFiles);
            timerDuringRun = window.Timer.isActive();
            (fromRecoveryPage ? window.btnRepair : window.palBatchRecovery->btnRepairFiles)->click();
            window.palBatchRecovery->btnRepairFiles->click();  // while it stops: still only a stop
        });
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(lookDuringRun, QString(kSkinStopButton));
        QVERIFY(timerDuringRun && !window.Timer.isActive());
        QCOMPARE(Statuses(*window.palBatchRecovery->FileList), QStringList({"Aborted", "Not Recovered", "Not Recovered"}));
        QCOMPARE(prompts_->shown, QStringList{"information: 0 drive(s) or disk(s) recovered successfully; 1 aborted"});
        QCOMPARE(window.btnRepair->text(), QString("&Start Recovery"));  // the single run never started
        QVERIFY(!window.FlowActive() && window.txtRepairLog->Lines().isEmpty());
    }

    // The engine's answer for a row sets its status; a source that is no
    // entry fails without an engine call; a second run resets every status.
    void statusesAndASecondRun() {
        TMainForm window(Options(true));
        window.AddBatchRow(images_[0], NewFolder());
        window.AddBatchRow("/dev/vanished  (Fixed Drive)", NewFolder());
        window.AddBatchRow(images_[1], NewFolder());
        FakeEngine::script = [](const RecoveryParams& record) {
            if (QByteArray(record.sourcePath).endsWith("-1.img")) return 0;
            FakeEngine::SendMessages(record, 2);
            return 1;
        };
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(Statuses(*window.palBatchRecovery->FileList), QStringList({"Successful", "Failed", "Failed"}));
        QCOMPARE(FakeEngine::calls, 2);

        // The second run is stopped during its first row; the rows after it
        // show the reset status, not the last run's.
        FakeEngine::script = [&](const RecoveryParams&) {
            window.palBatchRecovery->btnRepairFiles->click();
            return 0;
        };
        prompts_->shown.clear();
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(Statuses(*window.palBatchRecovery->FileList), QStringList({"Aborted", "Not Recovered", "Not Recovered"}));
        QCOMPARE(prompts_->shown, QStringList{"information: 0 drive(s) or disk(s) recovered successfully; 1 aborted"});
    }

    // Rows removed while a run goes on: a later one is not visited, the
    // current one gets no status, and a row added meanwhile waits for the
    // next run.
    void rowsChangedDuringARun() {
        TMainForm window(Options(true));
        for (int i = 0; i < 3; ++i) window.AddBatchRow(images_[i], NewFolder());
        window.AddBatchRow(largeImage_, NewFolder());
        FakeEngine::script = [&](const RecoveryParams& record) {
            if (QByteArray(record.sourcePath) == images_[0].toLocal8Bit()) {
                window.palBatchRecovery->FileList->topLevelItem(1)->setSelected(true);  // images_[1]
                window.palBatchRecovery->btnRemoveFiles->click();
                window.AddBatchRow("/dev/added  (Fixed Drive)", NewFolder());
            } else if (QByteArray(record.sourcePath) == images_[2].toLocal8Bit()) {
                window.palBatchRecovery->FileList->topLevelItem(1)->setSelected(true);  // itself
                QTest::keyClick(window.palBatchRecovery->FileList, Qt::Key_Delete);
            }
            FakeEngine::SendMessages(record, 1);
            return 1;
        };
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(FakeEngine::sources,
                 QByteArrayList({images_[0].toLocal8Bit(), images_[2].toLocal8Bit(), largeImage_.toLocal8Bit()}));
        QCOMPARE(Sources(*window.palBatchRecovery->FileList), QStringList({images_[0], largeImage_, "/dev/added  (Fixed Drive)"}));
        QCOMPARE(Statuses(*window.palBatchRecovery->FileList), QStringList({"Successful", "Successful", "Not Recovered"}));
        QCOMPARE(prompts_->shown, QStringList{"information: 3 drive(s) or disk(s) recovered successfully"});
    }

    // An error raised inside the run: the closing steps still run and the
    // standard error box shows it.
    void errorRaisedInsideTheRun() {
        TMainForm window(Options(true));
        window.AddBatchRow(images_[0], NewFolder());
        window.AddBatchRow(images_[1], NewFolder());
        FakeEngine::script = [](const RecoveryParams& record) -> int32_t {
            FakeEngine::Send(record, EV_REPORT_COLUMNS, "\2\0\0\0");
            FakeEngine::Send(record, EV_LOG, "a line");
            throw std::runtime_error("The source vanished.");
        };
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(prompts_->shown, QStringList{"exception: The source vanished."});
        QCOMPARE(FakeEngine::calls, 1);
        QCOMPARE(window.palBatchRecovery->btnRepairFiles->text(), QString("&Start Recovery"));
        QVERIFY(!window.Running() && !window.FlowActive() && !window.Timer.isActive());
        QVERIFY(window.txtRepairLog->Lines().isEmpty());
        QCOMPARE(window.ReportColumns(), 0);
    }

    // A close during the run asks first; "Stop and close" closes the
    // window once the run has returned, without the count box.
    void closeDuringARun() {
        TMainForm window(Options());
        window.show();
        window.AddBatchRow(largeImage_, NewFolder());
        window.AddBatchRow(images_[0], NewFolder());
        QTimer::singleShot(0, &window, [&] { window.close(); });
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(Statuses(*window.palBatchRecovery->FileList), QStringList({"Aborted", "Not Recovered"}));
        QCOMPARE(prompts_->shown, QStringList{"choose: A recovery is running. Stop it and close the window? "
                                              "[Stop and close | Keep running]"});
        QTRY_VERIFY(!window.isVisible());
    }

    // A row reads what its run did: every copy written, some not, none
    // (whatever the engine returned), or stopped (whatever it returned);
    // the count box says the same.
    void statusPerOutcome() {
        TMainForm window(Options(true));
        const QStringList names{"all written", "one could not be written", "none could be written",
                                "stopped, engine said success"};
        for (const QString& name : names) window.AddBatchRow(images_[0] + "#" + name, NewFolder());
        window.Drives->DriveDisplayList = QStringList(names).replaceInStrings(QRegularExpression("^"), images_[0] + "#");
        window.Drives->DrivePathList = QStringList(4, images_[0]);
        int row = 0;
        FakeEngine::script = [&](const RecoveryParams& record) {
            switch (row++) {
            case 0: FakeEngine::SendMessages(record, 3); break;
            case 1:
                FakeEngine::SendMessages(record, 3);
                FakeEngine::Send(record, EV_ERROR, "Error 6: Cannot create message file.");
                break;
            case 2:
                FakeEngine::SendMessages(record, 2);
                FakeEngine::Send(record, EV_ERROR, "Error 6: Cannot create message file.");
                FakeEngine::Send(record, EV_ERROR, "Error 6: Cannot create message file.");
                break;
            default:
                window.palBatchRecovery->btnRepairFiles->click();  // the stop, during the scan
                break;
            }
            return 1;
        };
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(Statuses(*window.palBatchRecovery->FileList), QStringList({"Successful", "Partly recovered", "Failed", "Aborted"}));
        QCOMPARE(prompts_->shown, QStringList{"information: 1 drive(s) or disk(s) recovered successfully; "
                                              "1 partly recovered; 1 failed; 1 aborted"});
    }

    // Both Start buttons read "&Stop Recovery" during a run of either kind.
    void captionsFollowTheRunningState() {
        TMainForm window(Options(true));
        window.txtSrcFile->setText(images_[0]);
        window.txtDstFile->setText(NewFolder());
        window.AddBatchRow(images_[1], NewFolder());
        QStringList captions;
        FakeEngine::script = [&](const RecoveryParams& record) {
            captions << window.btnRepair->text() << window.palBatchRecovery->btnRepairFiles->text();
            captions << (window.btnRepair->isEnabled() ? "enabled" : "disabled");
            FakeEngine::SendMessages(record, 1);
            return 1;
        };
        window.btnRepair->click();
        window.palBatchRecovery->btnRepairFiles->click();
        QCOMPARE(captions, QStringList({"&Stop Recovery", "&Stop Recovery", "enabled", "&Stop Recovery",
                                        "&Stop Recovery", "enabled"}));
        QCOMPARE(window.btnRepair->text(), QString("&Start Recovery"));
        QCOMPARE(window.palBatchRecovery->btnRepairFiles->text(), QString("&Start Recovery"));
        QCOMPARE(SkinElement(window.palBatchRecovery->btnRepairFiles), QString(kSkinStartButton));
    }

    // Rows come from the add-drive dialog: the main window's list is
    // refreshed first, and only an OK with an entry and a folder adds one.
    void addingThroughTheDialog_data() {
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("refreshAfterChoosing");
        QTest::addColumn<bool>("added");
        QTest::newRow("OK") << int(QDialog::Accepted) << false << true;
        QTest::newRow("Cancel") << int(QDialog::Rejected) << false << false;
        QTest::newRow("OK with nothing selected after a refresh") << int(QDialog::Accepted) << true << false;
    }
    void addingThroughTheDialog() {
        QFETCH(int, result);
        QFETCH(bool, refreshAfterChoosing);
        QFETCH(bool, added);
        TMainForm window(Options());
        window.txtSrcFile->setText(images_[2]);  // chosen on the Recovery page before
        QCOMPARE(SelectedDriveText(window.cmbSrcDrives), images_[2]);
        bool refreshedFirst = false;
        prompts_->fileAnswer = images_[0];
        prompts_->onDialog = [&](QDialog& dialog) {
            auto& add = dynamic_cast<TSelDriveForm&>(dialog);
            refreshedFirst = window.txtSrcFile->text().isEmpty() && add.cmbSrcDrives->currentIndex() == -1 &&
                             add.cmbSrcDrives->count() == window.cmbSrcDrives->count();
            add.btnSrcImage->click();
            add.txtDstFile->setText(" spaced folder ");
            if (refreshAfterChoosing) add.btnSrcRefresh->click();
            return result;
        };
        window.palBatchRecovery->btnAddFiles->click();
        QVERIFY(refreshedFirst);
        QCOMPARE(prompts_->shown, QStringList{"dialog: tolvan::TSelDriveForm"});
        if (!added) {
            QCOMPARE(window.palBatchRecovery->FileList->RowCount(), 0);
            return;
        }
        QCOMPARE(Sources(*window.palBatchRecovery->FileList), QStringList{images_[0]});
        QCOMPARE(window.palBatchRecovery->FileList->Folder(window.palBatchRecovery->FileList->Rows().first()), QString(" spaced folder "));
    }
};

QTEST_MAIN(TestBatchPage)
#include "tst_BatchPage.moc"
