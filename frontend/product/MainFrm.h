// The product's main window: recovers Outlook Express messages from the
// drives, disks and disk-image files of this machine. It implements the
// framework's hooks and adds the drive list and the product's options.
#pragma once

#include <cstdint>
#include <memory>

#include <QStringList>

#include "EngineEvents.h"
#include "RunReport.h"
#include "Pellam.h"
#include "DriveList.h"
#include "TolvanMain.h"

class QComboBox;

namespace tolvan {

class TSetting;

// Where a main window keeps its settings, what it lists and what it
// calls. The defaults are the program's own; tests change them.
struct TMainFormOptions {
    QString storeFile;    // empty: the user's store named after the program
    QString programPath;  // empty: this program's file (version, manual)
    TDriveSystem drives;  // where the drive list looks
    TRecoverEntry engine = &RecoverMessages;
    QStringList parameters;  // the command line, without the program's name
};

class TMainForm final : public TTolvanMainForm, private TAlertView {
    Q_OBJECT

public:
    explicit TMainForm(TMainFormOptions options = {});
    ~TMainForm() override;

    // --- Hooks ---
    void HandleEngineEvent(int32_t code, void* data) override;
    // The source's path with ".recovered" appended.
    QString DefaultDestination(const QString& source) override;
    bool DestinationIsFile() override;
    bool RunRecovery(const QString& source, const QString& destination) override;
    void BeforeRecovery() override;
    void AfterRecovery() override;
    QString SuccessText() override;
    QDialog* CreateSummaryDialog(const QString& text) override;
    bool MayOpenOutput() override;
    void InitWindow() override;
    void DoneWindow() override;
    void AddSettingInfo(QStringList& lines) override;
    uint32_t EngineOptions() override;
    uint64_t SourceSize(const QString& source) override;
    void MainTabChanged(int page) override;
    QString RunModeText() override;
    // The volumes of the drive list, as the system report names them.
    QList<TSystemVolume> SystemVolumes() override;
    // An empty file or device, or one that cannot be opened for reading.
    TSourceCheck CheckSource(const QString& source) override;
    bool OutputOnSource(const QString& source, const QString& destination) override;

    // --- Handlers ---
    // The Start-button rule, and the drop-down list kept in step with the
    // source: a disk image or device named here becomes an entry of its
    // own until the next refresh.
    void txtSrcFileChange() override;
    void cmbSrcDrivesChange();
    void btnSrcRefreshClick();
    // Adds a disk-image file chosen in a file dialog as the source.
    void btnSrcImageClick();
    void chkUseNewDirClick();
    // Adds one row through the add-drive dialog.
    void btnAddFilesClick();

    // Appends a batch row "Not Recovered", or refuses a source that is
    // listed already (whatever its folder) with an error box.
    void AddBatchRow(const QString& source, const QString& folder);
    // Lists a disk image or device (path) in the drive list as an entry of
    // its own, kept across refreshes until removed; the selection stays as
    // it is.
    void AddImageSource(const QString& path);
    // Takes an entry added by AddImageSource off the list.
    void RemoveImageSource(const QString& path);
    // The entries added by AddImageSource, in the order they were added.
    const QStringList& ImageSources() const { return imageSources_; }

    // What the summary and report windows of the last run show.
    TRunReport Report() const;

    // The run's report, kept for the summary and report windows.
    const QStringList& ReportCells() const;
    int32_t ReportColumns() const;
    const QList<TMessageRecord>& Records() const;

    // DriveDisplayList and DrivePathList, from InitWindow to DoneWindow.
    std::unique_ptr<TDriveList> Drives;

    // --- Controls ---
    QComboBox* cmbSrcDrives;
    QPushButton* btnSrcRefresh;
    QPushButton* btnSrcImage;
    QCheckBox* chkUseNewDir;
    QSpinBox* txtMaxMsgCount;
    QCheckBox* chkStoreAware;
    QCheckBox* chkReadableNames;
    QCheckBox* chkFileDates;
    QCheckBox* chkSkipIdentical;

private:
    TSetting& ProductSetting();
    // The engine's alerts: a box, or standard error while unattended.
    void ShowInformation(const QString& text) override;
    void cmbSrcDrivesContextMenu(const QPoint& position);

    TMainFormOptions options_;
    std::unique_ptr<TRecoveryEvents> report_;
    QStringList imageSources_;
};

}  // namespace tolvan
