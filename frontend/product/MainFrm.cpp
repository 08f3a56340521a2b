#include "MainFrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>

#include "DeviceAccess.h"
#include "DragEdit.h"
#include "DriveCombo.h"
#include "LogPane.h"
#include "BatchList.h"
#include "MsgFrm.h"
#include "ProductArt.h"
#include "SelDriveFrm.h"
#include "Setting.h"
#include "SettingInfo.h"
#include "TolvanBatch.h"
#include "TolvanLook.h"
#include "TolvanPanel.h"
#include "TolvanPrompts.h"
#include "TolvanSetting.h"
#include "TolvanUtils.h"
#include "WidgetViews.h"

namespace tolvan {

namespace {

const char kSubtitle[] = "Outlook Express mail recovery";

QString ProgramPathOf(const TMainFormOptions& options) {
    return options.programPath.isEmpty() ? QCoreApplication::applicationFilePath() : options.programPath;
}

}  // namespace

TMainForm::TMainForm(TMainFormOptions options)
    : TTolvanMainForm(ProgramPathOf(options), options.parameters), options_(std::move(options)) {
    imgBanner->setPixmap(BannerPicture(imgBanner->size(), QStringLiteral("Ostrel"), QString::fromLatin1(kSubtitle)));
    imgLogo->setPixmap(LogoPicture(imgLogo->width()));
    setWindowIcon(QIcon(LogoPicture(64)));
    labDescription->setText(QStringLiteral("Outlook Express mail recovery from disks, volumes and disk images"));

    cmbSrcDrives = new QComboBox(palRecovery);
    cmbSrcDrives->setMaxVisibleItems(12);
    connect(cmbSrcDrives, &QComboBox::currentIndexChanged, this, &TMainForm::cmbSrcDrivesChange);
    cmbSrcDrives->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(cmbSrcDrives, &QWidget::customContextMenuRequested, this, &TMainForm::cmbSrcDrivesContextMenu);
    btnSrcRefresh = SmallPictureButton(palRecovery, QStyle::SP_BrowserReload, QString());
    btnSrcRefresh->setGeometry(btnDstMore->x(), 10, btnDstMore->width(), btnDstMore->height());
    connect(btnSrcRefresh, &QPushButton::clicked, this, &TMainForm::btnSrcRefreshClick);
    btnSrcImage = SmallPictureButton(palRecovery, QStyle::SP_DialogOpenButton,
                                     QStringLiteral("Add a disk image file to the list"));
    btnSrcImage->setGeometry(btnSrcRefresh->x() + btnSrcRefresh->width() + 4, 10, btnSrcRefresh->width(),
                             btnSrcRefresh->height());
    connect(btnSrcImage, &QPushButton::clicked, this, &TMainForm::btnSrcImageClick);

    chkUseNewDir = new QCheckBox(QString::fromLatin1(kCaptionUseNewDir), palOptionsSub);
    chkUseNewDir->setGeometry(16, 54, chkUseNewDir->sizeHint().width(), 24);
    connect(chkUseNewDir, &QCheckBox::toggled, this, &TMainForm::chkUseNewDirClick);
    txtMaxMsgCount = new QSpinBox(palOptionsSub);
    txtMaxMsgCount->setRange(TSetting::kMaxMsgCountMinimum, TSetting::kMaxMsgCountMaximum);
    txtMaxMsgCount->setSingleStep(1);
    txtMaxMsgCount->setGeometry(chkUseNewDir->geometry().right() + 1 + 8, 54, 90, 24);
    chkReadableNames = new QCheckBox(QString::fromLatin1(kCaptionReadableNames), palOptionsSub);
    chkReadableNames->setGeometry(16, 90, chkReadableNames->sizeHint().width(), 24);
    chkReadableNames->setToolTip(QStringLiteral(
        "Decodes subjects written in other character sets (=?iso-8859-1?Q?...?= and the like) before naming "
        "the files; untick it for names made from the subject line exactly as stored."));
    chkFileDates = new QCheckBox(QString::fromLatin1(kCaptionFileDates), palOptionsSub);
    chkFileDates->setGeometry(16, 126, chkFileDates->sizeHint().width(), 24);
    chkFileDates->setToolTip(QStringLiteral(
        "Sets each recovered file's date to the Date: line of its message, so that a folder sorts by when "
        "the mail was sent."));

    chkStoreAware = new QCheckBox(QString::fromLatin1(kCaptionStoreAware), palAdvOptionsSub);
    chkStoreAware->setGeometry(16, 98, chkStoreAware->sizeHint().width(), 24);
    chkStoreAware->setToolTip(QStringLiteral(
        "Links each block to the blocks of its own message store first, so that the messages of several "
        "stores on one disk are neither mixed up nor lost; untick it for the classic linking by block "
        "offset across the whole source."));
    chkSkipIdentical = new QCheckBox(QString::fromLatin1(kCaptionSkipIdentical), palAdvOptionsSub);
    chkSkipIdentical->setGeometry(16, 134, chkSkipIdentical->sizeHint().width(), 24);
    chkSkipIdentical->setToolTip(QStringLiteral(
        "A copy of a message whose bytes equal one already written in the run (from a backup or an older "
        "copy of the store) is listed in the report but not written again."));

    connect(palBatchRecovery->btnAddFiles, &QPushButton::clicked, this, &TMainForm::btnAddFilesClick);

    FormCreate();
}

TMainForm::~TMainForm() { FormDestroy(); }

// --- Hooks --------------------------------------------------------------------

void TMainForm::HandleEngineEvent(int32_t code, void* data) { report_->HandleEngineEvent(code, data); }

QString TMainForm::DefaultDestination(const QString& source) { return source + QStringLiteral(".recovered"); }

bool TMainForm::DestinationIsFile() { return false; }

bool TMainForm::RunRecovery(const QString& source, const QString& destination) {
    return tolvan::RunRecovery(*this, *Drives, source, destination, EngineOptions(), options_.engine);
}

void TMainForm::BeforeRecovery() { report_->BeforeRecovery(); }

void TMainForm::AfterRecovery() { report_->AfterRecovery(); }

// Both name the source the run started with: the drive list may have been
// refreshed (and the field emptied) while it ran.
QString TMainForm::SuccessText() {
    return QStringLiteral("The Outlook Express data on '%1' are recoverable.").arg(RunSource());
}

QDialog* TMainForm::CreateSummaryDialog(const QString& text) {
    return new TMsgForm(this, FormLook(), ControlLook(), HintComponent(), text, Report());
}

TRunReport TMainForm::Report() const {
    TRunReport report;
    report.source = RunSource();
    report.outputFolder = RunOutputFolder();
    report.cells = &report_->ReportCells;
    report.columns = report_->ReportColumns;
    report.records = &report_->Records;
    report.totals = RunTally().Totals();
    return report;
}

bool TMainForm::MayOpenOutput() { return true; }

void TMainForm::InitWindow() {
    cmbSrcDrives->setGeometry(txtSrcFile->geometry());
    cmbSrcDrives->setToolTip(QStringLiteral("Select drive or disk to be scanned"));
    btnSrcRefresh->setToolTip(QStringLiteral("Refresh drive and disk list"));
    labSelSrcFile->setBuddy(cmbSrcDrives);

    report_ = std::make_unique<TRecoveryEvents>(*txtRepairLog, static_cast<TAlertView&>(*this));

    const QString storeFile =
        options_.storeFile.isEmpty() ? UserStoreFile(QCoreApplication::applicationFilePath()) : options_.storeFile;
    Setting = std::make_unique<TSetting>(storeFile);
    TSetting& setting = ProductSetting();
    setting.Load();
    chkOpenFixed->setChecked(setting.OpenFixed);
    chkUseNewDir->setChecked(setting.UseNewDir);
    txtMaxMsgCount->setValue(setting.MaxMsgCount);
    chkUseNewDirClick();
    txtTempDir->setText(setting.TempDir);
    txtBufSize->setValue(setting.BufSize);
    chkStoreAware->setChecked(setting.StoreAware);
    chkReadableNames->setChecked(setting.ReadableNames);
    chkFileDates->setChecked(setting.FileDates);
    chkSkipIdentical->setChecked(setting.SkipIdentical);

    Drives = std::make_unique<TDriveList>();
    btnSrcRefreshClick();
}

void TMainForm::DoneWindow() {
    report_.reset();
    // Freed on every way out, also when saving fails.
    const std::unique_ptr<TTolvanSetting> owned = std::move(Setting);
    const std::unique_ptr<TDriveList> drives = std::move(Drives);
    auto* setting = dynamic_cast<TSetting*>(owned.get());
    if (setting == nullptr) return;
    setting->OpenFixed = chkOpenFixed->isChecked();
    setting->UseNewDir = chkUseNewDir->isChecked();
    setting->MaxMsgCount = txtMaxMsgCount->value();
    setting->TempDir = txtTempDir->text();
    setting->BufSize = txtBufSize->value();
    setting->StoreAware = chkStoreAware->isChecked();
    setting->ReadableNames = chkReadableNames->isChecked();
    setting->FileDates = chkFileDates->isChecked();
    setting->SkipIdentical = chkSkipIdentical->isChecked();
    setting->Save();
}

void TMainForm::AddSettingInfo(QStringList& lines) {
    tolvan::AddSettingInfo(lines, {chkOpenFixed->isChecked(), chkUseNewDir->isChecked(),
                                   static_cast<double>(txtMaxMsgCount->value()), txtTempDir->text(),
                                   static_cast<double>(txtBufSize->value()), chkStoreAware->isChecked(),
                                   chkReadableNames->isChecked(), chkFileDates->isChecked(),
                                   chkSkipIdentical->isChecked()});
}

uint32_t TMainForm::EngineOptions() {
    TEngineChoices choices;
    choices.useNewDir = chkUseNewDir->isChecked();
    choices.maxMsgCount = txtMaxMsgCount->value();
    choices.storeAware = chkStoreAware->isChecked();
    choices.readableNames = chkReadableNames->isChecked();
    choices.fileDates = chkFileDates->isChecked();
    choices.skipIdentical = chkSkipIdentical->isChecked();
    return tolvan::EngineOptions(choices);
}

uint64_t TMainForm::SourceSize(const QString& source) {
    return Drives ? Drives->SourceSize(source, options_.drives.access) : 0;
}

void TMainForm::MainTabChanged(int page) {
    if (page == 2) PlaceProgressPanel(8, palBatchRecovery->y() + 20, 590);
}

QString TMainForm::RunModeText() {
    return chkStoreAware->isChecked() ? QStringLiteral("Linking: store by store")
                                      : QStringLiteral("Linking: by block offset across the source");
}

QList<TSystemVolume> TMainForm::SystemVolumes() {
    QList<TSystemVolume> volumes;
    for (const TVolumeEntry& volume : ListVolumes(options_.drives)) {
        TDriveType type = TDriveType::Fixed;
        switch (volume.kind) {
        case TVolumeKind::Fixed: type = TDriveType::Fixed; break;
        case TVolumeKind::Removable: type = TDriveType::Removable; break;
        case TVolumeKind::Cdrom: type = TDriveType::Cdrom; break;
        case TVolumeKind::Ram: type = TDriveType::RamDisk; break;
        }
        volumes.append({volume.node, type});
    }
    return volumes;
}

TTolvanMainForm::TSourceCheck TMainForm::CheckSource(const QString& source) {
    TSourceCheck check;
    const QString path = Drives ? Drives->DevicePathOf(source) : QString();
    if (path.isEmpty()) return check;  // no such entry: the run fails at once
    const QFileInfo info(path);
    uint64_t length = 0;
    if (info.isFile()) {
        if (!info.isReadable()) {
            check.problem =
                QStringLiteral("The source '%1' cannot be opened for reading: permission denied.").arg(source);
            return check;
        }
        length = static_cast<uint64_t>(info.size());
    } else {
        THostDeviceAccess hostAccess;
        const TDeviceProbe probe =
            ProbeDevice(options_.drives.access ? *options_.drives.access : hostAccess, path);
        if (!probe.opened) {
            check.problem = QStringLiteral("The source '%1' cannot be opened for reading. Reading a disk needs read "
                                           "permission on it, usually as root or as a member of the disk group.")
                                .arg(source);
            return check;
        }
        if (!probe.measured) return check;
        length = probe.length;
    }
    if (length == 0) {
        check.empty = true;
        check.problem = QStringLiteral("The source '%1' is empty (0 bytes): there is nothing to scan, or no medium "
                                       "in the drive.")
                            .arg(source);
    }
    return check;
}

bool TMainForm::OutputOnSource(const QString& source, const QString& destination) {
    const QString path = Drives ? Drives->DevicePathOf(source) : QString();
    return !path.isEmpty() && OutputLiesOnSource(path, destination, options_.drives.sysRoot);
}

void TMainForm::ShowInformation(const QString& text) { Tell(text); }

// --- Handlers --------------------------------------------------------------------

void TMainForm::AddImageSource(const QString& path) {
    if (!Drives || path.isEmpty() || !IsImageSource(path)) return;
    if (!imageSources_.contains(path)) imageSources_.append(path);
    if (Drives->DriveDisplayList.contains(path)) return;
    Drives->DriveDisplayList.append(path);
    Drives->DrivePathList.append(path);
    const QSignalBlocker quiet(cmbSrcDrives);
    cmbSrcDrives->addItem(path);
}

void TMainForm::RemoveImageSource(const QString& path) {
    if (!imageSources_.removeAll(path) || !Drives) return;
    const qsizetype index = Drives->DriveDisplayList.indexOf(path);
    if (index < 0) return;
    Drives->DriveDisplayList.removeAt(index);
    Drives->DrivePathList.removeAt(index);
    const bool selected = cmbSrcDrives->currentIndex() == index;
    {
        const QSignalBlocker quiet(cmbSrcDrives);
        cmbSrcDrives->removeItem(static_cast<int>(index));
        if (selected) cmbSrcDrives->setCurrentIndex(-1);
    }
    txtSrcFile->setText(SelectedDriveText(cmbSrcDrives));
}

void TMainForm::cmbSrcDrivesContextMenu(const QPoint& position) {
    const QString current = SelectedDriveText(cmbSrcDrives);
    if (!imageSources_.contains(current)) return;
    QMenu menu(this);
    QAction* remove = menu.addAction(QStringLiteral("&Remove '%1' from the list").arg(QFileInfo(current).fileName()));
    if (menu.exec(cmbSrcDrives->mapToGlobal(position)) == remove) RemoveImageSource(current);
}

void TMainForm::txtSrcFileChange() {
    const QString text = txtSrcFile->text();
    AddImageSource(text);
    {
        const QSignalBlocker quiet(cmbSrcDrives);
        cmbSrcDrives->setCurrentIndex(cmbSrcDrives->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    TTolvanMainForm::txtSrcFileChange();
}

void TMainForm::cmbSrcDrivesChange() { txtSrcFile->setText(SelectedDriveText(cmbSrcDrives)); }

void TMainForm::btnSrcRefreshClick() {
    Drives->EnumerateDrives(options_.drives);
    // The image files the user added stay, while they exist.
    for (const QString& image : imageSources_) {
        if (!IsImageSource(image) || Drives->DriveDisplayList.contains(image)) continue;
        Drives->DriveDisplayList.append(image);
        Drives->DrivePathList.append(image);
    }
    {
        const QSignalBlocker quiet(cmbSrcDrives);
        FillDriveCombo(cmbSrcDrives, Drives->DriveDisplayList);
    }
    txtSrcFile->setText(SelectedDriveText(cmbSrcDrives));
}

void TMainForm::btnSrcImageClick() {
    const QString current = txtSrcFile->text();
    const QString start = IsImageSource(current) ? QFileInfo(current).absolutePath() : QString();
    const QString file = Prompts().ChooseImageFile(this, start);
    if (!file.isEmpty()) txtSrcFile->setText(file);
}

void TMainForm::chkUseNewDirClick() { txtMaxMsgCount->setEnabled(chkUseNewDir->isChecked()); }

const QStringList& TMainForm::ReportCells() const { return report_->ReportCells; }

int32_t TMainForm::ReportColumns() const { return report_->ReportColumns; }

const QList<TMessageRecord>& TMainForm::Records() const { return report_->Records; }

TSetting& TMainForm::ProductSetting() { return static_cast<TSetting&>(*Setting); }

// --- Batch Recovery page -------------------------------------------------------

void TMainForm::btnAddFilesClick() {
    TSelDriveForm dialog(this, FormLook(), ControlLook(), HintComponent());
    btnSrcRefreshClick();
    dialog.SetDrives(Drives->DriveDisplayList);
    if (Prompts().Execute(dialog) != QDialog::Accepted) return;
    const QString source = SelectedDriveText(dialog.cmbSrcDrives);
    const QString folder = dialog.txtDstFile->text();
    if (!source.isEmpty() && !folder.isEmpty()) AddBatchRow(source, folder);
}

void TMainForm::AddBatchRow(const QString& source, const QString& folder) {
    if (palBatchRecovery->FileList->HasSource(source)) {
        Tell(QStringLiteral("Drive or disk already exists in the list"), true);
        return;
    }
    palBatchRecovery->FileList->AddRow(source, folder);
}

}  // namespace tolvan
