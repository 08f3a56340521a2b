// The main window's construction and start-up, its own events (closing
// during a run, the pause notice, dropped files) and the hooks' framework
// bodies.
#include "TolvanMain.h"

#include <exception>

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "DragEdit.h"
#include "TolvanDuration.h"
#include "TolvanLook.h"
#include "TolvanPrompts.h"
#include "TolvanSetting.h"
#include "logdlg.h"

namespace tolvan {

namespace {

const char kApplicationTitle[] = "Ostrel";

}  // namespace

TTolvanMainForm::TTolvanMainForm(QString programPath, QStringList parameters)
    : QWidget(nullptr),
      programPath_(std::move(programPath)),
      parameters_(std::move(parameters)),
      formLook_(std::make_unique<TFormLook>()),
      controlLook_(std::make_unique<TControlLook>(TControlLook::Standard())),
      hintComponent_(std::make_unique<THintComponent>(THintComponent::Standard())) {
    formLook_->Apply(this);
    controlLook_->Apply(this);
    hintComponent_->Apply();
    CreateControls();
    gaugeView_ = std::make_unique<TProgressBarGauge>(Gauge);
    progressLabelView_ = std::make_unique<TLabelText>(labProgress);
    figuresView_ = std::make_unique<TPausableText>(labFigures);
    dispatcher_ = std::make_unique<TMessageDispatcher>(*gaugeView_, *progressLabelView_, *figuresView_, *this, pump_,
                                                       *this);
}

TTolvanMainForm::~TTolvanMainForm() = default;

// --- Start-up and destruction -------------------------------------------------

void TTolvanMainForm::FormCreate() {
    // The program's title, and the manual bundled beside the program.
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    // Beside the program in a build; in share/ostrel/ when installed.
    const QString folder = QFileInfo(programPath_).absolutePath();
    QString help = folder + QStringLiteral("/help");
    const QString installed = folder + QStringLiteral("/../share/ostrel/help");
    if (!QFileInfo::exists(help + QStringLiteral("/index.html")) &&
        QFileInfo::exists(installed + QStringLiteral("/index.html"))) {
        help = QDir::cleanPath(installed);
    }
    HelpFile = help + QStringLiteral("/index.html");
    ReadmeFile = help + QStringLiteral("/README.md");

    // A fixed size, centred on the desktop.
    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    LayOutRecoveryFields();
    labProgress->setText(ProgressText(0));
    labConsumedTime->setText(ConsumedTimeText(0));
    FillAboutPage();

    btnRepairTab->setToolTip(QStringLiteral("Recover Outlook Express data from single drive or disk"));
    btnBatchRepairTab->setToolTip(QStringLiteral("Recover Outlook Express data from a batch of drives or disks"));
    btnOptionsTab->setToolTip(QStringLiteral("Set recovery options"));
    btnAboutTab->setToolTip(QStringLiteral("Detailed information about the product"));
    Timer.stop();
    running_ = false;
    CurrentTab = 1;
    CurrentSubTab = 1;

    // The product's lists, settings and options, then the first page.
    InitWindow();
    MainTabChange(1);
    // The command line runs once the event loop does, so that its run can
    // be stopped, the window closed and the program ended as at any time.
    if (!parameters_.isEmpty())
        QMetaObject::invokeMethod(this, [this] { HandleCommandLine(parameters_); }, Qt::QueuedConnection);
}

void TTolvanMainForm::FormDestroy() {
    try {
        DoneWindow();
    } catch (const std::exception& error) {
        ShowFlowError(QString::fromLocal8Bit(error.what()));
    }
}

// --- The window's events -----------------------------------------------------

void TTolvanMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        btnRepairTab->setFocus();  // FormShow: the first page button has the focus
    }
}

// A close during a run asks first; when the user chooses to stop, the
// window closes once the engine has returned (EndFlow), never while its
// call is active.
void TTolvanMainForm::closeEvent(QCloseEvent* event) {
    if (!flowActive_) {
        QWidget::closeEvent(event);
        return;
    }
    event->ignore();
    if (closePending_ || closeAsked_) return;
    closeAsked_ = true;
    const int choice = Prompts().Choose(this, QStringLiteral("A recovery is running. Stop it and close the window?"),
                                        {QStringLiteral("Stop and close"), QStringLiteral("Keep running")});
    closeAsked_ = false;
    if (choice == 0 && flowActive_) {
        running_ = false;
        closePending_ = true;
    }
}

// While a modal dialog is open during a run, the engine waits inside the
// event pump until it closes; the progress panel says so.
bool TTolvanMainForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowBlocked)
        ShowPaused(engineActive_);
    else if (event->type() == QEvent::WindowUnblocked)
        ShowPaused(false);
    return QWidget::event(event);
}

void TTolvanMainForm::dragEnterEvent(QDragEnterEvent* event) {
    const QString file = FirstDroppedFile(event->mimeData());
    if (!file.isEmpty() && !QFileInfo(file).isDir()) event->acceptProposedAction();
}

void TTolvanMainForm::dropEvent(QDropEvent* event) {
    const QString file = FirstDroppedFile(event->mimeData());
    if (file.isEmpty() || QFileInfo(file).isDir()) return;
    event->acceptProposedAction();
    txtSrcFileDropFile(txtSrcFile, file);
}

void TTolvanMainForm::txtSrcFileDropFile(TDragEdit* /*sender*/, const QString& file) { txtSrcFile->setText(file); }

// --- Hooks with a framework body ------------------------------------------

uint64_t TTolvanMainForm::SourceSize(const QString& source) {
    const QFileInfo info(source);
    return info.isFile() ? static_cast<uint64_t>(info.size()) : 0;
}

void TTolvanMainForm::MainTabChanged(int /*page*/) {}
void TTolvanMainForm::SubTabChanged(int /*subPage*/) {}
void TTolvanMainForm::BeforeBatch() {}
void TTolvanMainForm::AfterBatch() {}
QString TTolvanMainForm::RunModeText() { return QString(); }
QList<TSystemVolume> TTolvanMainForm::SystemVolumes() { return {}; }

TTolvanMainForm::TSourceCheck TTolvanMainForm::CheckSource(const QString& source) {
    TSourceCheck check;
    const QFileInfo info(source);
    if (info.isFile() && info.size() == 0) {
        check.empty = true;
        check.problem = QStringLiteral("The source '%1' is empty (0 bytes): there is nothing to scan.").arg(source);
    }
    return check;
}

bool TTolvanMainForm::OutputOnSource(const QString& /*source*/, const QString& /*destination*/) { return false; }

bool TTolvanMainForm::OnMessage(int32_t code, void* data) { return dispatcher_->OnMessage(code, data); }

}  // namespace tolvan
