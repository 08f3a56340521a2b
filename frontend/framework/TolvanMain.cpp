#include "TolvanMain.h"

#include <cstdio>
#include <exception>
#include <functional>

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QUrl>

#include "DragEdit.h"
#include "LogPane.h"
#include "SystemFacts.h"
#include "TextFile.h"
#include "TolvanCommandLine.h"
#include "TolvanDuration.h"
#include "TolvanInfo.h"
#include "TolvanLook.h"
#include "TolvanPanel.h"
#include "TolvanPrompts.h"
#include "TolvanSetting.h"
#include "TolvanUtils.h"
#include "logdlg.h"

namespace tolvan {

namespace {

const char kApplicationTitle[] = "Ostrel";

// Design geometry, in the coordinates of the window (header) and of the
// client area that holds the pages (everything else).
constexpr int kHeaderHeight = 52;
constexpr int kClientLeft = 9;
constexpr int kClientTop = 60;
constexpr int kClientWidth = 747;
constexpr int kClientHeight = 370;
constexpr int kMargin = 7;                            // left and right margin of a page
constexpr int kInnerRight = kClientWidth - kMargin;   // 740
constexpr int kRowHeight = 24;
constexpr int kSmallButton = 24;
constexpr int kBrowseColumn = kInnerRight - 2 * kSmallButton - 4;  // 688
constexpr int kGaugeHeight = 18;
constexpr int kPageButtonWidth = 104;
constexpr int kPageButtonHeight = 32;

QString Separator() { return QString::fromLatin1(kSeparatorLine); }

// A label whose text is centred vertically in a row.
QLabel* RowLabel(const QString& text, QWidget* parent, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(x, y, label->sizeHint().width(), kRowHeight);
    return label;
}

TTolvanPanel* PagePanel(QWidget* parent) {
    auto* panel = new TTolvanPanel(parent);
    panel->SetBevelOuter(TTolvanPanel::TPanelBevel::None);
    panel->setGeometry(0, 0, kClientWidth, kClientHeight);
    return panel;
}

QPushButton* TabButton(const QString& caption, QWidget* parent, const char* skin) {
    auto* button = new QPushButton(caption, parent);
    button->setCheckable(true);
    button->setFocusPolicy(Qt::StrongFocus);  // page buttons are tab stops
    button->setAutoDefault(false);
    SetSkinElement(button, skin);
    return button;
}

QLabel* LinkLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setCursor(Qt::PointingHandCursor);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    SetSkinElement(label, kSkinLink);
    return label;
}

// Calls onClick when the label is clicked with the left button.
class TClickFilter final : public QObject {
public:
    TClickFilter(QLabel* label, std::function<void()> onClick) : QObject(label), onClick_(std::move(onClick)) {
        label->installEventFilter(this);
    }
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            onClick_();
            return true;
        }
        return false;
    }

private:
    std::function<void()> onClick_;
};

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

// --- Controls ---------------------------------------------------------------

void TTolvanMainForm::CreateControls() {
    imgBanner = new QLabel(this);
    imgBanner->setGeometry(0, 0, kWidth, kHeaderHeight);

    // The page buttons lie on a transparent strip over the banner; the
    // pressed one takes the window's colour and so joins the page below.
    palHeader = new TTolvanPanel(this);
    palHeader->SetBevelOuter(TTolvanPanel::TPanelBevel::None);
    palHeader->SetTransparent(true);
    palHeader->setGeometry(0, 0, kWidth, kHeaderHeight);
    btnRepairTab = TabButton(QStringLiteral("&Recovery"), palHeader, kSkinPageButton);
    btnBatchRepairTab = TabButton(QStringLiteral("&Batch Recovery"), palHeader, kSkinPageButton);
    btnOptionsTab = TabButton(QStringLiteral("&Options"), palHeader, kSkinPageButton);
    btnAboutTab = TabButton(QStringLiteral("&About"), palHeader, kSkinPageButton);
    grpPages = new QButtonGroup(this);
    // Right-aligned with the pages below; each as wide as its caption
    // needs in the look it is drawn with, and no narrower than the rest.
    const QList<QPushButton*> pages{btnRepairTab, btnBatchRepairTab, btnOptionsTab, btnAboutTab};
    int right = kClientLeft + kInnerRight;
    for (qsizetype i = pages.size() - 1; i >= 0; --i) {
        pages[i]->ensurePolished();
        const int width = qMax(kPageButtonWidth, pages[i]->sizeHint().width() + 16);
        right -= width;
        pages[i]->setGeometry(right, kHeaderHeight - kPageButtonHeight, width, kPageButtonHeight);
        right -= 4;
        grpPages->addButton(pages[i], static_cast<int>(i) + 1);
    }
    btnRepairTab->setChecked(true);
    connect(grpPages, &QButtonGroup::idClicked, this, &TTolvanMainForm::MainTabChange);

    palClient = new TTolvanPanel(this);
    palClient->SetBevelOuter(TTolvanPanel::TPanelBevel::None);
    palClient->setGeometry(kClientLeft, kClientTop, kClientWidth, kClientHeight);

    CreateRecoveryPage();
    palBatchRecovery = PagePanel(palClient);
    CreateBatchPage();
    CreateOptionsPage();
    CreateAboutPage();
    CreateProgressPanel();

    btnHelp = new QPushButton(QStringLiteral("&Help"), this);
    btnHelp->setGeometry(kClientLeft + kMargin, kClientTop + kClientHeight + 8, 96, 28);
    btnHelp->setAutoDefault(false);
    connect(btnHelp, &QPushButton::clicked, this, &TTolvanMainForm::btnHelpClick);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &TTolvanMainForm::FormHelp);

    Timer.setInterval(1000);
    connect(&Timer, &QTimer::timeout, this, &TTolvanMainForm::TimerTimer);
    setAcceptDrops(true);
}

void TTolvanMainForm::CreateRecoveryPage() {
    palRecovery = PagePanel(palClient);
    labSelSrcFile = RowLabel(QString(), palRecovery, kMargin, 10);
    txtSrcFile = new TDragEdit(palRecovery);
    txtSrcFile->hide();  // the product lays its drive list over it
    txtSrcFile->SetAcceptFiles(true);
    txtSrcFile->OnDropFile = [this](TDragEdit* sender, const QString& file) { txtSrcFileDropFile(sender, file); };
    connect(txtSrcFile, &QLineEdit::textChanged, this, [this] { txtSrcFileChange(); });

    labSelDstFile = RowLabel(QString(), palRecovery, kMargin, 42);
    txtDstFile = new TDragEdit(palRecovery);
    txtDstFile->setToolTip(QStringLiteral("Set output directory for recovered messages"));
    // A folder dropped from the file manager replaces the text.
    txtDstFile->SetAcceptFiles(true);
    txtDstFile->AcceptsPath = [](const QString& path) { return QFileInfo(path).isDir(); };
    txtDstFile->OnDropFile = [this](TDragEdit*, const QString& folder) { txtDstFile->setText(folder); };
    connect(txtDstFile, &QLineEdit::textChanged, this, &TTolvanMainForm::txtDstFileChange);
    btnDstMore = new QPushButton(QStringLiteral("..."), palRecovery);
    btnDstMore->setGeometry(kBrowseColumn, 42, kSmallButton, kSmallButton);
    btnDstMore->setToolTip(QStringLiteral("Browse and select output directory"));
    btnDstMore->setAutoDefault(false);
    SetSkinElement(btnDstMore, kSkinSmallButton);
    connect(btnDstMore, &QPushButton::clicked, this, &TTolvanMainForm::btnDstMoreClick);

    labRepairLog = RowLabel(QStringLiteral("Recovery process log:"), palRecovery, kMargin, 148);
    txtRepairLog = new TLogPane(palRecovery);
    txtRepairLog->setGeometry(kMargin, 172, kInnerRight - kMargin, 152);

    btnSaveLog = new QPushButton(QStringLiteral("Save &Log"), palRecovery);
    btnSaveLog->setGeometry(kMargin, 334, 110, 28);
    btnSaveLog->setAutoDefault(false);
    connect(btnSaveLog, &QPushButton::clicked, this, &TTolvanMainForm::btnSaveLogClick);

    btnRepair = new QPushButton(QStringLiteral("&Start Recovery"), palRecovery);
    btnRepair->setGeometry(kInnerRight - 170, 334, 170, 28);
    btnRepair->setEnabled(false);
    btnRepair->setAutoDefault(false);
    SetSkinElement(btnRepair, kSkinStartButton);
    connect(btnRepair, &QPushButton::clicked, this, &TTolvanMainForm::btnRepairClick);
}

void TTolvanMainForm::CreateProgressPanel() {
    palProgress = new TTolvanPanel(palClient);
    palProgress->SetBevelOuter(TTolvanPanel::TPanelBevel::None);
    labProgress = new QLabel(palProgress);
    labConsumedTimePrompt = new QLabel(QStringLiteral("Time consumed: "), palProgress);
    labConsumedTime = new QLabel(palProgress);
    labFigures = new QLabel(palProgress);
    for (QLabel* label : {labProgress, labConsumedTimePrompt, labConsumedTime, labFigures})
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Gauge = new QProgressBar(palProgress);
    Gauge->setRange(0, 100);
    Gauge->resize(Gauge->width(), kGaugeHeight);
    Gauge->setTextVisible(false);
    Gauge->reset();  // no value yet, so the engine's first 0 counts as a change
}

void TTolvanMainForm::CreateOptionsPage() {
    palOptions = PagePanel(palClient);
    btnOptionsSubTab = TabButton(QStringLiteral("O&ptions"), palOptions, kSkinSubPageButton);
    btnOptionsSubTab->setGeometry(kMargin, 10, 150, 28);
    btnAdvOptionsSubTab = TabButton(QStringLiteral("A&dvanced Options"), palOptions, kSkinSubPageButton);
    btnAdvOptionsSubTab->setGeometry(kMargin + 154, 10, 170, 28);
    grpSubPages = new QButtonGroup(this);
    grpSubPages->addButton(btnOptionsSubTab, 1);
    grpSubPages->addButton(btnAdvOptionsSubTab, 2);
    btnOptionsSubTab->setChecked(true);
    connect(grpSubPages, &QButtonGroup::idClicked, this, &TTolvanMainForm::SubTabChange);

    for (TTolvanPanel** sub : {&palOptionsSub, &palAdvOptionsSub}) {
        *sub = new TTolvanPanel(palOptions);
        (*sub)->SetBevelOuter(TTolvanPanel::TPanelBevel::Lowered);
        (*sub)->SetBevelInner(TTolvanPanel::TPanelBevel::Raised);
        (*sub)->setGeometry(kMargin, 46, kInnerRight - kMargin, 316);
    }

    chkOpenFixed = new QCheckBox(QStringLiteral("Op&en the directory containing all the recovered messages"),
                                 palOptionsSub);
    chkOpenFixed->move(16, 18);
    chkOpenFixed->resize(chkOpenFixed->sizeHint().width(), kRowHeight);

    labTempDir = RowLabel(QStringLiteral("Dire&ctory for temporary files:"), palAdvOptionsSub, 16, 18);
    labBufSize = RowLabel(QStringLiteral("I&nternal Processing Buffer Size:"), palAdvOptionsSub, 16, 54);
    const int field = 16 + qMax(labTempDir->width(), labBufSize->width()) + 8;
    const int right = palAdvOptionsSub->width() - 16;
    btnMoreDir = new QPushButton(QStringLiteral("..."), palAdvOptionsSub);
    btnMoreDir->setGeometry(right - kSmallButton, 18, kSmallButton, kSmallButton);
    btnMoreDir->setAutoDefault(false);
    SetSkinElement(btnMoreDir, kSkinSmallButton);
    connect(btnMoreDir, &QPushButton::clicked, this, &TTolvanMainForm::btnMoreDirClick);
    txtTempDir = new QLineEdit(palAdvOptionsSub);
    txtTempDir->setGeometry(field, 18, right - kSmallButton - 5 - field, kRowHeight);
    labTempDir->setBuddy(txtTempDir);
    txtBufSize = new QSpinBox(palAdvOptionsSub);
    txtBufSize->setRange(1, 65536);
    txtBufSize->setSingleStep(1);
    txtBufSize->setGeometry(field, 54, 100, kRowHeight);
    labBufSize->setBuddy(txtBufSize);
    labBytes = RowLabel(QStringLiteral("Bytes"), palAdvOptionsSub, field + 108, 54);
}

void TTolvanMainForm::CreateAboutPage() {
    palAbout = PagePanel(palClient);
    imgLogo = new QLabel(palAbout);
    imgLogo->setGeometry(32, 28, 96, 96);
    imgLogo->setCursor(Qt::PointingHandCursor);
    new TClickFilter(imgLogo, [this] { imgLogoClick(); });

    labTitle = new QLabel(palAbout);
    QFont title = labTitle->font();
    title.setPointSizeF(title.pointSizeF() * 2.2);
    title.setBold(true);
    labTitle->setFont(title);
    labTitle->setGeometry(152, 26, 500, 40);
    labDescription = new QLabel(palAbout);
    labDescription->setGeometry(152, 66, 560, 20);

    labVersionPrompt = RowLabel(QStringLiteral("Version:"), palAbout, 152, 94);
    labVersion = RowLabel(QString(), palAbout, labVersionPrompt->geometry().right() + 7, 94);

    labHomepagePrompt = RowLabel(QStringLiteral("Product Homepage:"), palAbout, 152, 140);
    labSupportCenterPrompt = RowLabel(QStringLiteral("Support Center:"), palAbout, 152, 166);
    labEmailPrompt = RowLabel(QStringLiteral("Support E-Mail:"), palAbout, 152, 166);
    labHomepage = LinkLabel(palAbout);
    labSupportCenter = LinkLabel(palAbout);
    labEmail = LinkLabel(palAbout);
    new TClickFilter(labHomepage, [this] { labHomepageClick(); });
    new TClickFilter(labSupportCenter, [this] { labSupportCenterClick(); });
    new TClickFilter(labEmail, [this] { labEmailClick(); });
}

// Each link sits 10 pixels right of its prompt, and the e-mail prompt 22
// pixels right of the support-centre link.
void TTolvanMainForm::LayOutAboutLinks() {
    const auto place = [](QLabel* label, int x, int y) {
        label->setGeometry(x, y, label->sizeHint().width(), kRowHeight);
    };
    place(labHomepage, labHomepagePrompt->geometry().right() + 1 + 10, labHomepagePrompt->y());
    place(labSupportCenter, labSupportCenterPrompt->geometry().right() + 1 + 10, labSupportCenterPrompt->y());
    place(labEmailPrompt, labSupportCenter->geometry().right() + 1 + 22, labSupportCenterPrompt->y());
    place(labEmail, labEmailPrompt->geometry().right() + 1 + 10, labEmailPrompt->y());
}

// The panel's own layout follows its width: the percentage on the left and
// the consumed time on the right, the figures below them, the gauge at the
// bottom across the panel.
void TTolvanMainForm::PlaceProgressPanel(int left, int top, int width) {
    palProgress->setGeometry(left, top, width, kProgressHeight);
    labProgress->setGeometry(0, 2, width / 2, 20);
    labFigures->setGeometry(0, 23, width, 20);
    const int timeWidth =
        labConsumedTime->fontMetrics().horizontalAdvance(ConsumedTimeText(23 * 3600000 + 59 * 60000 + 59000));
    labConsumedTime->setGeometry(width - timeWidth, 2, timeWidth, 20);
    const int promptWidth = labConsumedTimePrompt->sizeHint().width();
    labConsumedTimePrompt->setGeometry(width - timeWidth - promptWidth, 2, promptWidth, 20);
    Gauge->setGeometry(0, kProgressHeight - kGaugeHeight - 6, width, kGaugeHeight);
    palProgress->raise();
    palProgress->show();
}

// --- Start-up -----------------------------------------------------------------

void TTolvanMainForm::FormCreate() {
    // 2, 3: the title, and the manual bundled beside the program.
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
    setWindowTitle(QString::fromLatin1(kApplicationTitle));
    const QString folder = QFileInfo(programPath_).absolutePath();
    HelpFile = folder + QStringLiteral("/help/index.html");
    ReadmeFile = folder + QStringLiteral("/help/README.md");

    // 4: fixed size, centred on the desktop.
    setFixedSize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // 6: the source field starts 7 pixels after its label and ends 5
    // pixels before the browse column; the destination field matches it.
    labSelSrcFile->setText(QStringLiteral("Select &drive or disk to be scanned:"));
    labSelDstFile->setText(QStringLiteral("O&utput recovered messages to:"));
    for (QLabel* label : {labSelSrcFile, labSelDstFile}) label->resize(label->sizeHint().width(), kRowHeight);
    const int fieldLeft = labSelSrcFile->geometry().right() + 1 + 7;
    const int fieldWidth = btnDstMore->x() - 5 - fieldLeft;
    txtSrcFile->setGeometry(fieldLeft, 10, fieldWidth, kRowHeight);
    txtDstFile->setGeometry(fieldLeft, 42, fieldWidth, kRowHeight);
    labSelSrcFile->setBuddy(txtSrcFile);
    labSelDstFile->setBuddy(txtDstFile);

    // 7
    labProgress->setText(ProgressText(0));
    labConsumedTime->setText(ConsumedTimeText(0));

    // 8: the About page.
    labTitle->setText(QGuiApplication::applicationDisplayName());
    labVersion->setText(FileVersionText(programPath_, 2));
    labVersion->resize(labVersion->sizeHint().width(), kRowHeight);
    labHomepage->setText(QStringLiteral("README.md"));
    labHomepage->setToolTip(ReadmeFile);
    labSupportCenter->setText(QStringLiteral("User Guide"));
    labSupportCenter->setToolTip(HelpFile);
    LayOutAboutLinks();
    // Without an address there is nothing to write to: no prompt either.
    const bool hasEmail = !labEmail->text().isEmpty();
    labEmailPrompt->setVisible(hasEmail);
    labEmail->setVisible(hasEmail);

    // 9
    btnRepairTab->setToolTip(QStringLiteral("Recover Outlook Express data from single drive or disk"));
    btnBatchRepairTab->setToolTip(QStringLiteral("Recover Outlook Express data from a batch of drives or disks"));
    btnOptionsTab->setToolTip(QStringLiteral("Set recovery options"));
    btnAboutTab->setToolTip(QStringLiteral("Detailed information about the product"));
    Timer.stop();
    running_ = false;
    CurrentTab = 1;
    CurrentSubTab = 1;

    InitWindow();   // 10
    MainTabChange(1);  // 11
    // 12: once the event loop runs, so that the run can be stopped, the
    // window closed and the program ended like at any other time.
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

void TTolvanMainForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        btnRepairTab->setFocus();  // FormShow
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

void TTolvanMainForm::ShowPaused(bool paused) {
    if (paused)
        figuresView_->Hold(QStringLiteral("The recovery is paused while a dialog is open; it goes on when the "
                                          "dialog is closed."));
    else if (figuresView_->Held())
        figuresView_->Release();
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

// --- Pages ----------------------------------------------------------------------

void TTolvanMainForm::MainTabChange(int page) {
    CurrentTab = page;
    for (QWidget* widget : std::initializer_list<QWidget*>{palRecovery, palBatchRecovery, palOptions, palAbout,
                                                           palOptionsSub, palAdvOptionsSub, palProgress, btnHelp})
        widget->hide();
    switch (page) {
    case 1: {
        btnRepairTab->setChecked(true);
        palRecovery->show();
        // Under the output field, above the log.
        const int dstBottom = txtDstFile->mapTo(palClient, QPoint(0, txtDstFile->height())).y();
        PlaceProgressPanel(7, dstBottom + 10, 733);
        btnHelp->show();
        break;
    }
    case 2:
        btnBatchRepairTab->setChecked(true);
        palBatchRecovery->show();
        PlaceProgressPanel(7, palBatchRecovery->y() + 87 + Gauge->height() - kProgressHeight, 597);
        btnHelp->show();
        break;
    case 3:
        btnOptionsTab->setChecked(true);
        palOptions->show();
        SubTabChange(btnAdvOptionsSubTab->isChecked() ? 2 : 1);
        btnHelp->show();
        break;
    case 4:
        btnAboutTab->setChecked(true);
        palAbout->show();
        break;
    default:
        break;
    }
    MainTabChanged(page);
}

void TTolvanMainForm::SubTabChange(int subPage) {
    CurrentSubTab = subPage;
    palOptionsSub->hide();
    palAdvOptionsSub->hide();
    if (subPage == 2) {
        btnAdvOptionsSubTab->setChecked(true);
        palAdvOptionsSub->show();
    } else {
        btnOptionsSubTab->setChecked(true);
        palOptionsSub->show();
    }
    SubTabChanged(subPage);
}

// --- Single recovery ---------------------------------------------------------

void TTolvanMainForm::ApplyStartButtonRule() {
    // During a run the button is the Stop button and stays usable whatever
    // the fields hold; the closing steps apply the rule again.
    if (flowActive_) return;
    btnRepair->setEnabled(!txtSrcFile->text().trimmed().isEmpty() && !txtDstFile->text().trimmed().isEmpty());
}

void TTolvanMainForm::txtSrcFileChange() { ApplyStartButtonRule(); }

void TTolvanMainForm::txtDstFileChange() { ApplyStartButtonRule(); }

void TTolvanMainForm::Log(const QString& line) { txtRepairLog->AppendLine(line); }

void TTolvanMainForm::Tell(const QString& text, bool error) {
    if (unattended_) {
        std::fprintf(stderr, "tolvan: %s\n", text.toLocal8Bit().constData());
        return;
    }
    if (error)
        Prompts().Error(this, text);
    else
        Prompts().Information(this, text);
}

// Both Start buttons read "&Stop Recovery" during a run of either kind,
// and either of them only asks the run to stop.
void TTolvanMainForm::BeginFlow() {
    flowActive_ = true;
    running_ = true;
    ShowAsStop(btnRepair, true);
    ShowAsStop(btnRepairFiles, true);
    btnRepair->setEnabled(true);
}

void TTolvanMainForm::EndFlow() {
    running_ = false;
    Timer.stop();
    flowActive_ = false;
    ShowAsStop(btnRepair, false);
    ShowAsStop(btnRepairFiles, false);
    ApplyStartButtonRule();
    if (closePending_) {
        closePending_ = false;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void TTolvanMainForm::ShowFlowError(const QString& text) {
    if (unattended_)
        Tell(text, true);
    else
        Prompts().ShowException(this, text);
}

bool TTolvanMainForm::CreateDestination(const QString& destination, QString& absolute) {
    absolute = QDir::current().absoluteFilePath(destination);
    const QString folder = DestinationIsFile() ? QFileInfo(absolute).absolutePath() : absolute;
    return QDir().mkpath(folder) && QFileInfo(folder).isDir();
}

bool TTolvanMainForm::ConfirmOutputOnSource(const QStringList& places) {
    const QString warning = QStringLiteral("Warning: the output folder lies on the drive or disk being scanned.");
    if (unattended_) {
        Log(warning);
        return true;
    }
    const QString text =
        QStringLiteral("The output folder lies on the drive or disk being scanned:\n%1\n\nWriting the recovered "
                       "messages there can overwrite the very data that is to be recovered. Choose a folder on "
                       "another drive or disk if you can.")
            .arg(places.join(QLatin1Char('\n')));
    const bool go = Prompts().Choose(this, text, {QStringLiteral("Continue"), QStringLiteral("Choose another folder")}) == 0;
    if (go) Log(warning);
    return go;
}

TRunOutcome TTolvanMainForm::CallRecovery(const QString& source, const QString& destination, uint64_t sourceBytes,
                                          bool sourceEmpty) {
    dispatcher_->BeginRun(sourceBytes);
    bool success = false;
    engineActive_ = true;
    try {
        success = RunRecovery(source, destination);
    } catch (...) {
        engineActive_ = false;
        throw;
    }
    engineActive_ = false;
    // Once the engine has returned the figures line says what it wrote.
    const TRunTotals totals = dispatcher_->Tally().Totals();
    figuresView_->SetText(totals.found > 0 ? TotalsSentence(totals) : QString());
    return ClassifyRun(success, !running_, sourceEmpty, totals);
}

void TTolvanMainForm::btnRepairClick() {
    // While a run is going on, or stopping, the button only asks it to stop.
    if (flowActive_) {
        running_ = false;
        return;
    }
    RunSingleRecovery();
}

void TTolvanMainForm::RunSingleRecovery() {
    if (flowActive_) return;
    const QString source = txtSrcFile->text();
    const QString destination = txtDstFile->text();
    QString absolute;
    bool finished = false;
    bool chooseAnother = false;
    QString error;
    TRunOutcome outcome;

    BeginFlow();
    runSource_ = source;
    runOutput_.clear();
    haveLastTotals_ = false;
    try {
        txtRepairLog->Clear();
        txtRepairLog->viewport()->repaint();
        BeforeRecovery();
        Log(QStringLiteral("Start recovery process ..."));
        Log(Separator());
        // The warning comes before the folder is made: making it is
        // already a write on the disk being scanned.
        if (!DestinationIsFile() && OutputOnSource(source, destination) &&
            !ConfirmOutputOnSource({QStringLiteral("'%1' on '%2'").arg(destination, source)})) {
            chooseAnother = true;
            Log(QStringLiteral("Recovery process is aborted."));
        } else if (!CreateDestination(destination, absolute)) {
            Log(QStringLiteral("Recovery process is aborted."));
            Tell(QStringLiteral("Cannot create the directory '%1'!").arg(destination), true);
        } else {
            runOutput_ = absolute;
            const uint64_t size = SourceSize(source);
            const TSourceCheck check = CheckSource(source);
            Log(QStringLiteral("Drive or disk to be recovered: '%1'; Total size = %2 bytes")
                    .arg(source, WholeNumberText(static_cast<qlonglong>(size))));
            Log(QStringLiteral("Output recovered messages to: '%1'").arg(destination));
            const QString mode = RunModeText();
            if (!mode.isEmpty()) Log(mode);
            if (!check.problem.isEmpty()) Log(check.problem);
            Log(Separator());

            StartTime.start();
            Timer.start();
            labConsumedTime->setText(ConsumedTimeText(0));
            outcome = CallRecovery(source, destination, size, check.empty);

            Log(Separator());
            Timer.stop();
            labConsumedTime->setText(ConsumedTimeText(StartTime.elapsed()));
            Log(ConsumedTimeLine(StartTime.elapsed()));
            Log(Separator());
            Log(QStringLiteral("Recovery process completes."));
            Log(Separator());

            const bool wroteSome = outcome.kind == TOutcomeKind::Success || outcome.kind == TOutcomeKind::Partial;
            const QStringList lines = OutcomeLines(outcome, source, wroteSome ? SuccessText() : QString());
            for (const QString& line : lines) Log(line);
            lastOutcome_ = outcome;
            haveLastTotals_ = true;
            // A window that is waiting to close, or an unattended run,
            // shows nothing more.
            if (!closePending_ && !unattended_) {
                if (wroteSome) {
                    const std::unique_ptr<QDialog> summary(CreateSummaryDialog(lines.join(QLatin1Char(' '))));
                    if (summary) Prompts().Execute(*summary);
                } else {
                    Prompts().Information(this, lines.join(QLatin1Char('\n')));
                }
            }
            finished = true;
        }
    } catch (const std::exception& raised) {
        error = QString::fromLocal8Bit(raised.what());
    } catch (...) {
        error = QStringLiteral("An unexpected error ended the recovery.");
    }

    // Closing steps, on every way out.
    running_ = false;
    Timer.stop();
    const bool closing = closePending_;
    try {
        AfterRecovery();
    } catch (const std::exception& raised) {
        if (error.isEmpty()) error = QString::fromLocal8Bit(raised.what());
    }
    EndFlow();
    exitStatus_ = finished ? ExitStatusOf(outcome) : 1;

    if (!error.isEmpty()) {
        ShowFlowError(error);
        return;
    }
    if (chooseAnother) {
        btnDstMoreClick();
        return;
    }
    // The folder is shown only when the run wrote messages and was not
    // stopped, and only when the desktop has a program that shows folders.
    const bool wroteAll = outcome.kind == TOutcomeKind::Success || outcome.kind == TOutcomeKind::Partial;
    if (finished && wroteAll && !closing && MayOpenOutput() && chkOpenFixed->isChecked() &&
        Prompts().CanOpenFolders()) {
        if (!Prompts().OpenUrl(QUrl::fromLocalFile(absolute)))
            Tell(QStringLiteral("Cannot open directory '%1'!").arg(destination), true);
    }
}

void TTolvanMainForm::ShowAsStop(QPushButton* button, bool stop) {
    button->setText(stop ? QStringLiteral("&Stop Recovery") : QStringLiteral("&Start Recovery"));
    SetSkinElement(button, stop ? kSkinStopButton : kSkinStartButton);
}

void TTolvanMainForm::TimerTimer() {
    if (running_) labConsumedTime->setText(ConsumedTimeText(StartTime.elapsed()));
}

// --- Command line -------------------------------------------------------------

void TTolvanMainForm::HandleCommandLine(const QStringList& parameters) {
    if (parameters.isEmpty()) return;
    show();
    const TCommandLine line = ParseCommandLine(parameters);
    unattended_ = line.Has('e');
    if (line.source.isEmpty() || !QFileInfo::exists(line.source)) {
        Tell(QStringLiteral("Cannot open file %1").arg(line.source), true);
        if (unattended_) {
            exitStatus_ = 1;
            close();
        }
        return;
    }
    txtSrcFile->setText(line.source);
    chkOpenFixed->setChecked(line.Has('o'));
    if (!line.destination.isEmpty())
        txtDstFile->setText(line.destination);
    else if (txtDstFile->text().isEmpty())
        txtDstFile->setText(DefaultDestination(line.source));
    ApplyStartButtonRule();
    RunSingleRecovery();
    if (unattended_) close();
}

// --- Pickers, help, links, log -----------------------------------------------

void TTolvanMainForm::btnDstMoreClick() {
    QString folder = Prompts().ChooseOutputFolder(this, txtDstFile->text());
    if (folder.isEmpty()) return;
    if (!DestinationIsFile() && !folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    txtDstFile->setText(folder);
}

void TTolvanMainForm::btnMoreDirClick() {
    const QString folder = Prompts().ChooseDirectory(this, QStringLiteral("Select directory for temporary files:"),
                                                     QDir::homePath());
    if (!folder.isEmpty()) txtTempDir->setText(folder);
}

void TTolvanMainForm::btnHelpClick() { FormHelp(); }

bool TTolvanMainForm::FormHelp() {
    Prompts().OpenUrl(QUrl::fromLocalFile(HelpFile));  // a failure is not reported
    return true;
}

void TTolvanMainForm::labHomepageClick() { Prompts().OpenUrl(QUrl::fromLocalFile(ReadmeFile)); }

void TTolvanMainForm::labSupportCenterClick() { Prompts().OpenUrl(QUrl::fromLocalFile(HelpFile)); }

void TTolvanMainForm::imgLogoClick() { labHomepageClick(); }

void TTolvanMainForm::labEmailClick() {
    if (!labEmail->text().isEmpty()) Prompts().OpenUrl(QUrl(QStringLiteral("mailto:") + labEmail->text()));
}

TSaveLogDialog& TTolvanMainForm::SaveLogDialog() {
    if (saveLogDialog_ == nullptr) saveLogDialog_ = new TSaveLogDialog(this);
    return *saveLogDialog_;
}

void TTolvanMainForm::btnSaveLogClick() {
    TSaveLogDialog& dialog = SaveLogDialog();
    if (!dialog.Execute()) return;
    try {
        QStringList lines;
        if (dialog.IncludeSysInfo()) {
            lines.append(Separator());
            AddSystemInfo(lines, HostSystemFacts(programPath_, SystemVolumes()));
            AddSettingInfo(lines);
        }
        lines += txtRepairLog->Lines();
        // The figures of the run the log tells of, once it has ended.
        if (haveLastTotals_) {
            lines.append(Separator());
            lines += TotalsLines(lastOutcome_.totals);
        }
        switch (WriteTextLines(dialog.FileName, lines)) {
        case TWriteResult::Written: break;
        case TWriteResult::CannotCreate:
            Prompts().Error(this, QStringLiteral("Cannot create file %1").arg(dialog.FileName));
            break;
        case TWriteResult::WriteFailed: Prompts().Error(this, QStringLiteral("Stream write error")); break;
        }
    } catch (const std::exception& raised) {
        ShowFlowError(QString::fromLocal8Bit(raised.what()));
    }
}

}  // namespace tolvan
