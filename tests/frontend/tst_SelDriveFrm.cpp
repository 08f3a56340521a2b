// The add-drive dialog over a main window with a made-up drive list: its
// controls and layout, the OK rule, refresh, browse and Escape.
#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "DragEdit.h"
#include "DriveCombo.h"
#include "MainFrm.h"
#include "ScriptedPrompts.h"
#include "SelDriveFrm.h"
#include "TolvanLook.h"
#include "WindowTestKit.h"

using namespace tolvan;
using namespace tolvan::testing;

class TestSelDriveFrm : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    NoDisks noDisks_;
    std::unique_ptr<ScriptedPrompts> prompts_;
    std::unique_ptr<TPromptsOverride> override_;
    std::unique_ptr<TMainForm> window_;

    // A dialog filled as the add handler fills it.
    std::unique_ptr<TSelDriveForm> NewDialog() {
        auto dialog = std::make_unique<TSelDriveForm>(window_.get(), window_->FormLook(), window_->ControlLook(),
                                                      window_->HintComponent());
        window_->btnSrcRefreshClick();
        dialog->SetDrives(window_->Drives->DriveDisplayList);
        return dialog;
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        ApplyApplicationLook();
        // Two volumes: /dev/sda1 and /dev/sda2.
        for (const char* part : {"sda1", "sda2"}) {
            const QString partition = folder_.filePath(QString("sys/block/sda/") + part);
            QVERIFY(QDir().mkpath(partition));
            QFile(partition + "/partition").open(QIODevice::WriteOnly);
        }
    }

    void init() {
        prompts_ = std::make_unique<ScriptedPrompts>();
        override_ = std::make_unique<TPromptsOverride>(*prompts_);
        TMainFormOptions options;
        options.storeFile = folder_.filePath("store.ini");
        options.drives.sysRoot = folder_.filePath("sys");
        options.drives.access = &noDisks_;
        window_ = std::make_unique<TMainForm>(options);
    }

    void cleanup() {
        window_.reset();
        override_.reset();
    }

    void controlsAndLayout() {
        const auto dialog = NewDialog();
        QVERIFY(dialog->Label1->width() >= dialog->Label1->sizeHint().width());  // nothing clipped
        QCOMPARE(dialog->labSelSrcFile->buddy(), dialog->cmbSrcDrives);
        QCOMPARE(dialog->labSelDstFile->buddy(), dialog->txtDstFile);
        QCOMPARE(dialog->height(), 169);
        QVERIFY(dialog->width() >= TSelDriveForm::kDesignWidth);
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QVERIFY(!dialog->cmbSrcDrives->isEditable());

        // Both fields start 7 pixels after the source label and end 5
        // pixels before the refresh button; every control inside.
        const int fieldLeft = dialog->labSelSrcFile->geometry().right() + 1 + 7;
        for (QWidget* field : std::initializer_list<QWidget*>{dialog->cmbSrcDrives, dialog->txtDstFile}) {
            QCOMPARE(field->x(), fieldLeft);
            QCOMPARE(field->geometry().right() + 1, dialog->btnSrcRefresh->x() - 5);
        }
        for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY2(dialog->rect().contains(child->geometry()), qPrintable(child->objectName()));


        const QList<QWidget*> order{dialog->cmbSrcDrives, dialog->btnSrcRefresh, dialog->btnSrcImage,
                                    dialog->txtDstFile,   dialog->btnDstMore,    dialog->btnOK,
                                    dialog->btnClose};
        for (qsizetype i = 0; i + 1 < order.size(); ++i) {
            QWidget* next = order[i]->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();  // labels
            QCOMPARE(next, order[i + 1]);
        }
    }

    // OK with an entry selected and a destination typed; blanks count.
    void okRule_data() {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("entry, one character") << 0 << "x" << true;
        QTest::newRow("entry, blanks only") << 1 << "   " << true;
        QTest::newRow("entry, nothing typed") << 0 << "" << false;
        QTest::newRow("no entry, a folder") << -1 << "/srv/out" << false;
    }
    void okRule() {
        QFETCH(int, entry);
        QFETCH(QString, destination);
        QFETCH(bool, enabled);
        const auto dialog = NewDialog();
        QVERIFY(!dialog->btnOK->isEnabled());
        dialog->cmbSrcDrives->setCurrentIndex(entry);
        dialog->txtDstFile->setText(destination);
        QCOMPARE(dialog->btnOK->isEnabled(), enabled);
        dialog->txtDstFile->clear();
        QVERIFY(!dialog->btnOK->isEnabled());
    }

    // OK starts disabled even when the main window had a drive selected.
    void opensWithNothingChosen() {
        window_->cmbSrcDrives->setCurrentIndex(1);
        window_->txtDstFile->setText("/srv/out");
        const auto dialog = NewDialog();
        QCOMPARE(dialog->cmbSrcDrives->count(), 2);
        QCOMPARE(dialog->cmbSrcDrives->currentIndex(), -1);
        QCOMPARE(dialog->txtDstFile->text(), QString());
        QVERIFY(!dialog->btnOK->isEnabled());
        QCOMPARE(window_->txtSrcFile->text(), QString());  // the main window was refreshed too
    }

    void refreshLeavesNothingSelected() {
        const auto dialog = NewDialog();
        dialog->cmbSrcDrives->setCurrentIndex(0);
        dialog->txtDstFile->setText("/srv/out");
        window_->cmbSrcDrives->setCurrentIndex(0);
        dialog->btnSrcRefresh->click();
        QCOMPARE(dialog->cmbSrcDrives->count(), 2);
        QCOMPARE(SelectedDriveText(dialog->cmbSrcDrives), QString());
        QCOMPARE(window_->cmbSrcDrives->currentIndex(), -1);
        QVERIFY(!dialog->btnOK->isEnabled());
        QCOMPARE(dialog->txtDstFile->text(), QString("/srv/out"));
    }

    void browse_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("field");
        QTest::newRow("a separator is added") << "/srv/mail" << "/srv/mail/";
        QTest::newRow("kept when there") << "/srv/mail/" << "/srv/mail/";
        QTest::newRow("cancelled") << "" << "typed by hand";
    }
    void browse() {
        QFETCH(QString, answer);
        QFETCH(QString, field);
        const auto dialog = NewDialog();
        dialog->txtDstFile->setText("typed by hand");
        prompts_->folderAnswer = answer;
        dialog->btnDstMore->click();
        QCOMPARE(dialog->txtDstFile->text(), field);
    }

    void escapeCancels() {
        const auto dialog = NewDialog();
        dialog->cmbSrcDrives->setCurrentIndex(0);
        dialog->txtDstFile->setText("/srv/out");
        dialog->show();
        QTest::keyClick(dialog->txtDstFile, Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }

    // Without an owner there is no list to refresh or to add an image to.
    void withoutOwner() {
        TSelDriveForm dialog(nullptr, nullptr, nullptr, nullptr);
        dialog.SetDrives({"/dev/sdz1  (Fixed Drive)"});
        dialog.cmbSrcDrives->setCurrentIndex(0);
        prompts_->fileAnswer = "/no/such.img";
        dialog.btnSrcRefresh->click();
        dialog.btnSrcImage->click();
        QCOMPARE(SelectedDriveText(dialog.cmbSrcDrives), QString("/dev/sdz1  (Fixed Drive)"));
    }
};

QTEST_MAIN(TestSelDriveFrm)
#include "tst_SelDriveFrm.moc"
