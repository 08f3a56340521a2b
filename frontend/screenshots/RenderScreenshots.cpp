// Renders every page, sub-page and dialog of the program to PNG files, for
// the README and for review. The drive list comes from a made-up machine
// and the run from a built disk image, so nothing real is opened.
//
// Usage: tolvan_screenshots [output folder]   (default out/screenshots)
#include <cstdio>
#include <fstream>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QCheckBox>
#include <QDialog>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include "BatchList.h"
#include "DeviceAccess.h"
#include "DragEdit.h"
#include "MainFrm.h"
#include "ReportModel.h"
#include "MsgFrm.h"
#include "ReportFrm.h"
#include "SelDriveFrm.h"
#include "TolvanBatch.h"
#include "TolvanLook.h"
#include "TolvanPrompts.h"
#include "logdlg.h"
#include "image_builder/image_builder.h"
#include "image_builder/message_factory.h"
#include "image_builder/store_builder.h"

using namespace tolvan;

namespace {

QString outputFolder;

void Save(QWidget* widget, const QString& name) {
    widget->show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    const QString path = outputFolder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!widget->grab().save(path)) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    else std::printf("%s\n", qPrintable(path));
}

// The window with the drive list opened over it; the list is a window of
// its own, so it is painted onto the window's picture where it lies.
void SaveWithDriveList(TMainForm& window, const QString& name) {
    window.cmbSrcDrives->showPopup();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    QWidget* list = window.cmbSrcDrives->view()->window();
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    painter.drawPixmap(window.mapFromGlobal(list->mapToGlobal(QPoint(0, 0))), list->grab());
    painter.end();
    window.cmbSrcDrives->hidePopup();
    const QString path = outputFolder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (picture.save(path)) std::printf("%s\n", qPrintable(path));
}

// Two disks of a made-up machine.
class MadeUpDisks final : public TDeviceAccess {
public:
    intptr_t Open(const QString& path) override {
        if (path == QLatin1String("/dev/sda")) return 1;
        if (path == QLatin1String("/dev/sdb")) return 2;
        return -1;
    }
    bool Length(intptr_t handle, uint64_t& length) override {
        length = handle == 1 ? 500107862016ull : 16008609792ull;
        return true;
    }
    void Close(intptr_t) override {}
};

void MakeFolder(const QString& path, const QMap<QString, QString>& files = {}) {
    QDir().mkpath(path);
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile file(path + QLatin1Char('/') + it.key());
        if (file.open(QIODevice::WriteOnly)) file.write(it.value().toUtf8());
    }
}

// sda (two partitions), a USB stick sdb with one, a CD drive.
QString MadeUpSysfs(const QString& root) {
    const QString block = root + QStringLiteral("/block");
    MakeFolder(block + "/sda", {{"removable", "0\n"}});
    MakeFolder(block + "/sda/sda1", {{"partition", "1\n"}});
    MakeFolder(block + "/sda/sda2", {{"partition", "2\n"}});
    MakeFolder(block + "/sdb", {{"removable", "1\n"}});
    MakeFolder(block + "/sdb/sdb1", {{"partition", "1\n"}});
    MakeFolder(block + "/sr0", {{"removable", "1\n"}});
    return root;
}

// A disk image holding one store of some thousands of messages among
// noise, enough for the progress panel to show its figures mid-run, and two
// small stores whose clusters a file system scattered among each other's,
// so that the report shows messages of every kind of completeness.
QString BuildImage(const QString& folder) {
    ostrel::builder::MessageFactory messages(7);
    ostrel::builder::StoreBuilder store(11);
    for (int i = 0; i < 6000; ++i) store.AddMessage(messages.Next(i % 5 == 0));
    ostrel::builder::StoreBuilder sent(17);
    ostrel::builder::StoreBuilder archive(19);
    for (int i = 0; i < 120; ++i) {
        sent.AddMessage(messages.Next(i % 3 == 0));
        archive.AddMessage(messages.Next(i % 4 == 0));
    }
    ostrel::builder::ImageBuilder image(13);
    image.AppendNoise(6 << 20, ostrel::builder::NoiseKind::Random);
    image.PlaceContiguous("Inbox.dbx", store, image.Size());
    image.AppendNoise(1 << 20, ostrel::builder::NoiseKind::Random);
    image.AppendMixed({{"Sent Items.dbx", &sent}, {"Archive.dbx", &archive}}, 4096, 64,
                      ostrel::builder::ClusterOrder::Shuffled);
    image.AppendNoise(5 << 20, ostrel::builder::NoiseKind::Random);
    const QString path = folder + QStringLiteral("/mailbox.img");
    std::ofstream out(path.toStdString(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.Bytes().data()), static_cast<std::streamsize>(image.Size()));
    return path;
}

// Grabs each modal window as it opens and answers it.
class Recorder final : public TTolvanPrompts {
public:
    // What the add-drive dialog is answered with.
    int driveIndex = 0;
    QString folder;
    QString logFolder;
    QString reportName = QStringLiteral("report");

    int Execute(QDialog& dialog) override {
        int result = QDialog::Rejected;
        if (auto* summary = qobject_cast<TMsgForm*>(&dialog)) {
            Save(summary, QStringLiteral("summary"));
            summary->btnReport->click();
        } else if (auto* report = qobject_cast<TReportForm*>(&dialog)) {
            // A message opened in the preview pane, then the list narrowed.
            report->ReportList->selectRow(4);
            report->OpenMessage();
            Save(report, reportName);
            if (report->Model->HasRecords()) {
                report->txtFilter->setText(QStringLiteral("re:"));
                report->cmbCompleteness->setCurrentIndex(1);
                report->ReportList->sortByColumn(TReportModel::kDate, Qt::DescendingOrder);
                Save(report, reportName + QStringLiteral("-filtered"));
            }
        } else if (auto* add = qobject_cast<TSelDriveForm*>(&dialog)) {
            add->cmbSrcDrives->setCurrentIndex(driveIndex);
            add->txtDstFile->setText(folder);
            Save(add, QStringLiteral("add-drive"));
            result = QDialog::Accepted;
        } else if (auto* save = qobject_cast<TSaveLogDialog*>(&dialog)) {
            save->setDirectory(logFolder);
            save->selectFile(QStringLiteral("recovery.log"));
            Save(save, QStringLiteral("save-log"));
        }
        dialog.hide();
        return result;
    }
    void Information(QWidget*, const QString&) override {}
    void Error(QWidget*, const QString&) override {}
    bool OpenUrl(const QUrl&) override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    // Under an X server (tools/screenshots.sh starts Xvfb) the windows are
    // real ones; without a display they are drawn offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QGuiApplication::setApplicationDisplayName(QString());
    ApplyApplicationLook();
    outputFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("out/screenshots");
    QDir().mkpath(outputFolder);

    QTemporaryDir scratch;
    // The file dialogs keep their state in Qt's per-user settings: here,
    // not in the user's configuration.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.filePath(QStringLiteral("config")));
    MadeUpDisks disks;
    TMainFormOptions options;
    options.storeFile = scratch.filePath(QStringLiteral("Tolvan.ini"));
    options.drives.sysRoot = MadeUpSysfs(scratch.filePath(QStringLiteral("sys")));
    options.drives.access = &disks;
    options.drives.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    Recorder recorder;
    const TPromptsOverride answers(recorder);
    TMainForm window(options);
    window.chkOpenFixed->setChecked(false);
    window.show();

    Save(&window, QStringLiteral("recovery-empty"));
    SaveWithDriveList(window, QStringLiteral("recovery-drive-list"));
    const QString image = BuildImage(scratch.path());
    window.txtSrcFile->setText(image);
    window.txtDstFile->setText(scratch.filePath(QStringLiteral("Recovered mail/")));

    // Mid-run, as the pump lets the window paint: the Stop look, the gauge
    // and the figures; then with a dialog open, which pauses the run.
    bool grabbed = false;
    bool paused = false;
    QTimer during;
    during.setInterval(0);
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!grabbed && window.Gauge->value() >= 60 && !window.labFigures->text().isEmpty()) {
            grabbed = true;
            Save(&window, QStringLiteral("recovery-running"));
        } else if (grabbed && !paused && window.Gauge->value() >= 75) {
            paused = true;
            QDialog dialog(&window);
            dialog.setWindowTitle(QStringLiteral("Another dialog"));
            dialog.resize(300, 80);
            QTimer::singleShot(50, &dialog, [&] {
                Save(&window, QStringLiteral("recovery-paused"));
                dialog.reject();
            });
            dialog.exec();
        }
    });
    during.start();
    window.btnRepair->click();
    during.stop();

    Save(&window, QStringLiteral("recovery-finished"));
    recorder.logFolder = scratch.path();
    window.btnSaveLogClick();

    // The batch page: two images recovered (one grabbed mid-run), then a
    // volume added through the dialog.
    window.MainTabChange(2);
    const QString second = scratch.filePath(QStringLiteral("usb-stick.img"));
    QFile::copy(image, second);
    window.AddBatchRow(image, scratch.filePath(QStringLiteral("Recovered mail/office/")));
    window.AddBatchRow(second, scratch.filePath(QStringLiteral("Recovered mail/usb-stick/")));
    grabbed = false;
    QObject::disconnect(&during, nullptr, nullptr, nullptr);
    QObject::connect(&during, &QTimer::timeout, [&] {
        if (!grabbed && window.Gauge->value() >= 40) {
            grabbed = true;
            window.palBatchRecovery->FileList->setCurrentItem(window.palBatchRecovery->FileList->topLevelItem(0));
            Save(&window, QStringLiteral("batch-running"));
        }
    });
    during.start();
    window.palBatchRecovery->btnRepairFiles->click();
    during.stop();
    recorder.driveIndex = 1;
    recorder.folder = QStringLiteral("/srv/recovered/sda2/");
    window.btnAddFilesClick();
    window.palBatchRecovery->FileList->clearSelection();
    window.palBatchRecovery->FileList->setCurrentItem(nullptr);
    Save(&window, QStringLiteral("batch"));
    window.MainTabChange(3);
    window.SubTabChange(1);
    Save(&window, QStringLiteral("options"));
    window.SubTabChange(2);
    Save(&window, QStringLiteral("options-advanced"));
    window.MainTabChange(4);
    Save(&window, QStringLiteral("about"));

    // The summary dialog with a long message, and the report of a long run.
    QStringList cells{QStringLiteral("Message No."), QStringLiteral("Subject")};
    for (int i = 1; i <= 1500; ++i)
        cells << QString::number(i) << QStringLiteral("Quarterly figures, draft %1").arg(i);
    TRunReport longReport;
    longReport.source = QStringLiteral("/srv/images/office.img");
    longReport.cells = &cells;
    longReport.columns = 2;
    TMsgForm longSummary(&window, window.FormLook(), window.ControlLook(), window.HintComponent(),
                         QStringLiteral("The Outlook Express data on '/srv/images/a very long name for a disk "
                                        "image taken from the old office computer.img' are recoverable."),
                         longReport);
    Save(&longSummary, QStringLiteral("summary-long"));
    recorder.reportName = QStringLiteral("report-without-records");
    longSummary.btnReport->click();
    longSummary.hide();
    TRunReport plainReport = longReport;
    plainReport.source = QStringLiteral("disk.img");
    TMsgForm plain(nullptr, nullptr, nullptr, nullptr, QStringLiteral("The Outlook Express data on 'disk.img' are "
                                                                      "recoverable."),
                   plainReport);
    Save(&plain, QStringLiteral("summary-without-looks"));
    plain.hide();
    return 0;
}
