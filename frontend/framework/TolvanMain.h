// The framework's main window: a generic recovery front end with four
// pages, the progress panel, the recovery log and the single-recovery
// flow. Everything product-specific is left to the hooks, declared in the
// order of their virtual slots; a product class derives from it,
// creates its own controls in its constructor and then calls FormCreate.
//
// Its parts live in files of their own: start-up and the window's events
// (TolvanMain.cpp), the pages and page switching (TolvanPages.cpp), the
// steps every run shares (TolvanRunSteps.cpp), the single recovery
// (TolvanSingleRun.cpp), the batch run (TolvanBatchRun.cpp; the page itself
// is TBatchPage, TolvanBatch.h), the command line (TolvanStartCommand.cpp),
// and the pickers, help, links and the saved log (TolvanActions.cpp).
#pragma once

#include <cstdint>
#include <memory>

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "RunOutcome.h"
#include "SystemInfo.h"
#include "TolvanDispatch.h"
#include "TolvanViews.h"
#include "WidgetViews.h"

class QButtonGroup;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace tolvan {

class TBatchPage;
class TControlLook;
class TDragEdit;
class TFormLook;
class THintComponent;
class TLogPane;
class TSaveLogDialog;
class TTolvanPanel;
class TTolvanSetting;

class TTolvanMainForm : public QWidget,
                        public TEngineClient,
                        public TRunState,
                        public TEngineEventHook {
    Q_OBJECT

public:
    // The window's size, fixed.
    static constexpr int kWidth = 765;
    static constexpr int kHeight = 475;
    // The progress panel: the percentage and the consumed time, the
    // figures line (speed, messages, time left, or the pause notice), the
    // gauge.
    static constexpr int kProgressHeight = 68;

    // programPath: the program file (its version and its help); parameters:
    // the command line without the program's name, handled once the event
    // loop runs.
    TTolvanMainForm(QString programPath, QStringList parameters);
    ~TTolvanMainForm() override;

    // --- Hooks, in slot order ---------------------------------------------
    // Every engine event other than progress and the stop question.
    void HandleEngineEvent(int32_t code, void* data) override = 0;
    // The destination proposed for a source at a command-line start.
    virtual QString DefaultDestination(const QString& source) = 0;
    // True when the destination names a file rather than a folder.
    virtual bool DestinationIsFile() = 0;
    // One recovery; true when the engine reports success.
    virtual bool RunRecovery(const QString& source, const QString& destination) = 0;
    // Around every RunRecovery.
    virtual void BeforeRecovery() = 0;
    virtual void AfterRecovery() = 0;
    // The outcome text of a single recovery that wrote messages.
    virtual QString SuccessText() = 0;
    // The summary dialog shown after a single recovery that wrote
    // messages, owned by this window; the flow shows it modally and
    // destroys it.
    virtual QDialog* CreateSummaryDialog(const QString& text) = 0;
    // Whether the output may be opened after a successful run.
    virtual bool MayOpenOutput() = 0;
    // Window creation and destruction.
    virtual void InitWindow() = 0;
    virtual void DoneWindow() = 0;
    // Appends the setting-information block of the saved log.
    virtual void AddSettingInfo(QStringList& lines) = 0;
    // The engine's options word for the next run.
    virtual uint32_t EngineOptions() = 0;
    // The size in bytes of a source, for the log: by default the size
    // of the file the text names, 0 when there is none.
    virtual uint64_t SourceSize(const QString& source);
    // After page and options sub-page switching.
    virtual void MainTabChanged(int page);
    virtual void SubTabChanged(int subPage);
    // Around a batch run.
    virtual void BeforeBatch();
    virtual void AfterBatch();
    // The hooks below were added to the original ones.
    // A line for the run's opening lines that says how the engine will
    // work (empty: no line).
    virtual QString RunModeText();
    // The volumes the saved log's drive section lists (none here).
    virtual QList<TSystemVolume> SystemVolumes();
    // Why a source cannot give anything, said in the log before the run
    // (empty when nothing is known to be wrong), and whether it is empty.
    // By default a file of 0 bytes is empty.
    struct TSourceCheck {
        bool empty = false;
        QString problem;
    };
    virtual TSourceCheck CheckSource(const QString& source);
    // True when the output folder lies on the drive or disk being
    // scanned, where writing can destroy what is to be recovered (false
    // in the framework).
    virtual bool OutputOnSource(const QString& source, const QString& destination);

    // --- The engine's view of the window ------------------------------------
    bool OnMessage(int32_t code, void* data) override;
    bool Running() const override { return running_; }

    // --- Handlers ------------------------------------------------------------
    void MainTabChange(int page);
    void SubTabChange(int subPage);
    // The single-recovery flow, or a stop request while a run is going on.
    void btnRepairClick();
    void TimerTimer();
    virtual void txtSrcFileChange();
    void txtDstFileChange();
    void btnDstMoreClick();
    void btnMoreDirClick();
    void btnHelpClick();
    // Answers every help request by opening the manual; always handled.
    bool FormHelp();
    void labHomepageClick();
    void labSupportCenterClick();
    void imgLogoClick();
    void labEmailClick();
    // Saves the log, after the system and setting information when the
    // dialog's box is ticked; CR LF after every line.
    void btnSaveLogClick();
    // The batch run, or a stop request while a run of either kind is on.
    void btnRepairFilesClick();
    void txtSrcFileDropFile(TDragEdit* sender, const QString& file);
    // The command line's source is recovered at once; with -e the
    // program then ends with the run's exit status, without waiting for
    // a click.
    void HandleCommandLine(const QStringList& parameters);
    // The exit status of an unattended run (-e): 0 every message written,
    // 3 partly, 1 failure; 0 otherwise.
    int ExitStatus() const { return exitStatus_; }
    // True while the command line's -e run is on: no box waits for a click.
    bool Unattended() const { return unattended_; }

    // --- State ---------------------------------------------------------------
    int CurrentTab = 1;
    int CurrentSubTab = 1;
    QString HelpFile;
    // The README the About page links to.
    QString ReadmeFile;
    // The settings object, from InitWindow to DoneWindow.
    std::unique_ptr<TTolvanSetting> Setting;
    // True from a Start press until the flow's closing steps are over;
    // unlike Running it stays true after a stop request.
    bool FlowActive() const { return flowActive_; }
    // The source display text the current or last single run started with.
    const QString& RunSource() const { return runSource_; }
    // The absolute output folder of the current or last run.
    const QString& RunOutputFolder() const { return runOutput_; }
    // What the events of the current or last engine call said.
    const TRunTally& RunTally() const { return dispatcher_->Tally(); }
    // The outcome of the last single run, once it ended.
    const TRunOutcome& LastOutcome() const { return lastOutcome_; }

    // The appearance objects handed to every window this one opens.
    const TFormLook* FormLook() const { return formLook_.get(); }
    const TControlLook* ControlLook() const { return controlLook_.get(); }
    const THintComponent* HintComponent() const { return hintComponent_.get(); }
    // The save-log dialog, made at the first save and kept with the window
    // so that it remembers its box and file name.
    TSaveLogDialog& SaveLogDialog();

    // --- Controls, those that tests and the product reach -------------------
    QPushButton* btnRepairTab;
    QPushButton* btnBatchRepairTab;
    QPushButton* btnOptionsTab;
    QPushButton* btnAboutTab;
    TTolvanPanel* palClient;
    // Recovery page
    TTolvanPanel* palRecovery;
    QLabel* labSelSrcFile;
    TDragEdit* txtSrcFile;
    QLabel* labSelDstFile;
    TDragEdit* txtDstFile;  // takes a folder dropped on it
    QPushButton* btnDstMore;
    QPushButton* btnRepair;
    QLabel* labRepairLog;
    TLogPane* txtRepairLog;
    QPushButton* btnSaveLog;
    // Batch Recovery page, with its list and buttons; the product makes
    // its btnAddFiles add a row.
    TBatchPage* palBatchRecovery;
    // Progress panel
    TTolvanPanel* palProgress;
    QLabel* labProgress;
    QLabel* labConsumedTime;
    QLabel* labFigures;  // speed, messages, time left; or that the run is paused
    QProgressBar* Gauge;
    QPushButton* btnHelp;
    // Options page
    TTolvanPanel* palOptions;
    QPushButton* btnOptionsSubTab;
    QPushButton* btnAdvOptionsSubTab;
    TTolvanPanel* palOptionsSub;
    TTolvanPanel* palAdvOptionsSub;
    QCheckBox* chkOpenFixed;
    QLineEdit* txtTempDir;
    QSpinBox* txtBufSize;
    // About page
    TTolvanPanel* palAbout;
    QLabel* imgLogo;
    QLabel* labTitle;
    QLabel* labVersion;
    QLabel* labHomepagePrompt;
    QLabel* labHomepage;
    QLabel* labSupportCenterPrompt;
    QLabel* labSupportCenter;
    QLabel* labEmail;
    QTimer Timer;

protected:
    // --- Controls only the window and the product touch ----------------------
    QLabel* imgBanner;  // the product draws the banner
    TTolvanPanel* palHeader;
    QButtonGroup* grpPages;
    QButtonGroup* grpSubPages;
    QLabel* labConsumedTimePrompt;
    QLabel* labTempDir;
    QPushButton* btnMoreDir;
    QLabel* labBufSize;
    QLabel* labBytes;
    QLabel* labDescription;  // the product's one-line description
    QLabel* labVersionPrompt;
    QLabel* labEmailPrompt;

    // Builds the controls, sets the window up, loads the settings through
    // InitWindow, shows the Recovery page and queues the command line; the
    // product's constructor calls it last, once its own part of the object
    // exists for the hooks.
    void FormCreate();
    // Runs DoneWindow; the product's destructor calls it first.
    void FormDestroy();

    // Appends one line to the recovery log.
    void Log(const QString& line);
    // Shows a message in a box, or on standard error while unattended.
    void Tell(const QString& text, bool error = false);
    // Starts a flow (sets Running) and ends it: the closing steps that
    // every flow shares, and a close that waited for the run.
    void BeginFlow();
    void EndFlow();
    // The Start-button rule of the Recovery page.
    void ApplyStartButtonRule();
    // Puts the progress panel at left, top with width; its own controls
    // follow the width.
    void PlaceProgressPanel(int left, int top, int width);
    // Shows an error raised inside a flow in the standard error box.
    void ShowFlowError(const QString& text);
    // Makes a folder destination absolute and creates it with its parents;
    // false when that fails. absolute receives the absolute path.
    bool CreateDestination(const QString& destination, QString& absolute);

    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    QString programPath_;
    QStringList parameters_;
    QElapsedTimer StartTime;  // the start of the current run, on the monotonic clock

private:
    // Page construction (TolvanPages.cpp).
    void CreateControls();
    void CreateRecoveryPage();
    void CreateBatchPage();
    void CreateProgressPanel();
    void CreateOptionsPage();
    void CreateAboutPage();
    // The source and output fields follow their labels' widths.
    void LayOutRecoveryFields();
    // The About page's title, version and links.
    void FillAboutPage();
    void LayOutAboutLinks();
    void RunSingleRecovery();
    void RunBatch();
    // One engine call (RunRecovery) with the measuring of its progress
    // and events; returns how it went.
    TRunOutcome CallRecovery(const QString& source, const QString& destination, uint64_t sourceBytes,
                             bool sourceEmpty);
    // Asks whether to go on when an output folder lies on its source;
    // true to go on. Unattended, logs a warning and goes on.
    bool ConfirmOutputOnSource(const QStringList& places);
    // Says in the progress panel that the run waits for a dialog.
    void ShowPaused(bool paused);
    // Sets a Start button's caption and look for a run (true) or idle.
    static void ShowAsStop(QPushButton* button, bool stop);

    std::unique_ptr<TFormLook> formLook_;
    std::unique_ptr<TControlLook> controlLook_;
    std::unique_ptr<THintComponent> hintComponent_;
    TSaveLogDialog* saveLogDialog_ = nullptr;  // a child of the window

    bool running_ = false;
    bool flowActive_ = false;
    bool closePending_ = false;
    bool closeAsked_ = false;
    bool engineActive_ = false;  // inside RunRecovery
    bool shownOnce_ = false;
    bool unattended_ = false;
    int exitStatus_ = 0;
    QString runSource_;
    QString runOutput_;
    TRunOutcome lastOutcome_;
    // The figures of the last single run, for the end of a saved log;
    // none after a batch run, whose log is emptied.
    bool haveLastTotals_ = false;

    std::unique_ptr<TProgressBarGauge> gaugeView_;
    std::unique_ptr<TLabelText> progressLabelView_;
    std::unique_ptr<TPausableText> figuresView_;
    TApplicationPump pump_;
    std::unique_ptr<TMessageDispatcher> dispatcher_;

protected:
    void SetRunning(bool running) { running_ = running; }
};

}  // namespace tolvan
