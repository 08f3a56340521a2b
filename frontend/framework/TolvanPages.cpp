// The main window's pages: the header with its page buttons, the Recovery,
// Batch Recovery, Options and About pages, the progress panel, and the
// switching between pages and option sub-pages.
#include "TolvanMain.h"

#include <functional>

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>

#include "DragEdit.h"
#include "LogPane.h"
#include "TolvanBatch.h"
#include "TolvanDuration.h"
#include "TolvanInfo.h"
#include "TolvanLook.h"
#include "TolvanPanel.h"

namespace tolvan {

namespace {

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

void TTolvanMainForm::CreateBatchPage() {
    palBatchRecovery = new TBatchPage(palClient, kClientWidth, kClientHeight);
    connect(palBatchRecovery->btnRepairFiles, &QPushButton::clicked, this, &TTolvanMainForm::btnRepairFilesClick);
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

// The source field starts 7 pixels after its label and ends 5 pixels
// before the browse column; the destination field matches it.
void TTolvanMainForm::LayOutRecoveryFields() {
    labSelSrcFile->setText(QStringLiteral("Select &drive or disk to be scanned:"));
    labSelDstFile->setText(QStringLiteral("O&utput recovered messages to:"));
    for (QLabel* label : {labSelSrcFile, labSelDstFile}) label->resize(label->sizeHint().width(), kRowHeight);
    const int fieldLeft = labSelSrcFile->geometry().right() + 1 + 7;
    const int fieldWidth = btnDstMore->x() - 5 - fieldLeft;
    txtSrcFile->setGeometry(fieldLeft, 10, fieldWidth, kRowHeight);
    txtDstFile->setGeometry(fieldLeft, 42, fieldWidth, kRowHeight);
    labSelSrcFile->setBuddy(txtSrcFile);
    labSelDstFile->setBuddy(txtDstFile);
}

// The program's title and version, and its two links; an e-mail prompt
// only with an address to write to.
void TTolvanMainForm::FillAboutPage() {
    labTitle->setText(QGuiApplication::applicationDisplayName());
    labVersion->setText(FileVersionText(programPath_, 2));
    labVersion->resize(labVersion->sizeHint().width(), kRowHeight);
    labHomepage->setText(QStringLiteral("README.md"));
    labHomepage->setToolTip(ReadmeFile);
    labSupportCenter->setText(QStringLiteral("User Guide"));
    labSupportCenter->setToolTip(HelpFile);
    LayOutAboutLinks();
    const bool hasEmail = !labEmail->text().isEmpty();
    labEmailPrompt->setVisible(hasEmail);
    labEmail->setVisible(hasEmail);
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

// --- Page switching -------------------------------------------------------------

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

}  // namespace tolvan
