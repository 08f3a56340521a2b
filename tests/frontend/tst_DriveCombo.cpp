// The drive list in its drop-down control.
#include <QtTest>

#include <QComboBox>

#include "DriveCombo.h"

using namespace tolvan;

class TestDriveCombo : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A refresh leaves no entry selected, and so an empty source text.
    void refreshSelectsNothing() {
        QComboBox list;
        FillDriveCombo(&list, {"/dev/sda1  (Fixed Drive)", "Hard disk 1  (74.53 GB)"});
        QCOMPARE(list.count(), 2);
        QCOMPARE(SelectedDriveText(&list), QString());
        list.setCurrentIndex(1);
        QCOMPARE(SelectedDriveText(&list), QString("Hard disk 1  (74.53 GB)"));
        FillDriveCombo(&list, {"/dev/sdb1  (Floppy Drive)"});
        QCOMPARE(list.count(), 1);
        QCOMPARE(SelectedDriveText(&list), QString());
    }

    void noControl() {
        QCOMPARE(SelectedDriveText(nullptr), QString());
        FillDriveCombo(nullptr, {"x"});
    }
};

QTEST_MAIN(TestDriveCombo)
#include "tst_DriveCombo.moc"
