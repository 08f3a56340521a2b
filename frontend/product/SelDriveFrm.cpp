#include "SelDriveFrm.h"

#include <algorithm>

#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "DriveCombo.h"
#include "MainFrm.h"
#include "DriveList.h"
#include "TolvanPrompts.h"

namespace tolvan {

namespace {

// Design geometry: a 15-pixel left margin, rows at 43 and 78, the buttons
// at 114; the small buttons end 23 pixels before the right edge.
constexpr int kLeft = 15;
constexpr int kRightMargin = 23;
constexpr int kSourceTop = 43;
constexpr int kDestinationTop = 78;
constexpr int kButtonTop = 114;
constexpr int kFieldHeight = 22;
constexpr int kSmallButton = 22;
constexpr int kSmallGap = 4;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 20;

QLabel* FieldLabel(const QString& text, QWidget* parent, int top) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(kLeft, top, label->sizeHint().width(), kFieldHeight);
    return label;
}

}  // namespace

TSelDriveForm::TSelDriveForm(TMainForm* owner, const TFormLook* formLook, const TControlLook* controlLook,
                             const THintComponent* hintComponent)
    : TTolvanForm(owner, formLook, controlLook, hintComponent), owner_(owner) {
    Label1 = new QLabel(
        QStringLiteral("Please select the drive or disk to be scanned and output folder for the recovered emails:"),
        this);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    labSelSrcFile = FieldLabel(QString(), this, kSourceTop);
    cmbSrcDrives = new QComboBox(this);
    cmbSrcDrives->setMaxVisibleItems(8);
    connect(cmbSrcDrives, &QComboBox::currentIndexChanged, this, &TSelDriveForm::cmbSrcDrivesChange);
    btnSrcRefresh = SmallPictureButton(this, QStyle::SP_BrowserReload, QString());
    connect(btnSrcRefresh, &QPushButton::clicked, this, &TSelDriveForm::btnSrcRefreshClick);
    btnSrcImage =
        SmallPictureButton(this, QStyle::SP_DialogOpenButton, QStringLiteral("Add a disk image file to the list"));
    connect(btnSrcImage, &QPushButton::clicked, this, &TSelDriveForm::btnSrcImageClick);

    labSelDstFile = FieldLabel(QString(), this, kDestinationTop);
    txtDstFile = new QLineEdit(this);
    connect(txtDstFile, &QLineEdit::textChanged, this, &TSelDriveForm::txtDstFileChange);
    btnDstMore = new QPushButton(QStringLiteral("..."), this);
    btnDstMore->setAutoDefault(false);
    connect(btnDstMore, &QPushButton::clicked, this, &TSelDriveForm::btnDstMoreClick);

    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setEnabled(false);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    btnClose->setText(QStringLiteral("&Cancel"));
    btnClose->setAutoDefault(false);

    setTabOrder(cmbSrcDrives, btnSrcRefresh);
    setTabOrder(btnSrcRefresh, btnSrcImage);
    setTabOrder(btnSrcImage, txtDstFile);
    setTabOrder(txtDstFile, btnDstMore);
    setTabOrder(btnDstMore, btnOK);
    setTabOrder(btnOK, btnClose);

    FormCreate();
}

void TSelDriveForm::FormCreate() {
    // The field labels, with the fields they focus.
    labSelSrcFile->setText(QStringLiteral("Select &drive or disk to be scanned:"));
    labSelDstFile->setText(QStringLiteral("O&utput recovered messages to:"));
    labSelSrcFile->setBuddy(cmbSrcDrives);
    labSelDstFile->setBuddy(txtDstFile);
    for (QLabel* label : {labSelSrcFile, labSelDstFile}) label->resize(label->sizeHint().width(), kFieldHeight);

    // The width: the design's, the image button's room, and whatever the
    // title line needs in this font.
    Label1->setGeometry(kLeft, 10, std::max(504, Label1->sizeHint().width()), 20);
    const int imageRoom = kSmallGap + kSmallButton;
    const int width = std::max(kDesignWidth + imageRoom, kLeft + Label1->width() + kRightMargin);
    SetClientSize(width, kHeight);
    const int right = width - kRightMargin;
    btnSrcImage->setGeometry(right - kSmallButton, kSourceTop, kSmallButton, kSmallButton);
    btnSrcRefresh->setGeometry(btnSrcImage->x() - kSmallGap - kSmallButton, kSourceTop, kSmallButton, kSmallButton);
    btnDstMore->setGeometry(btnSrcRefresh->x(), kDestinationTop, kSmallButton, kSmallButton);
    btnClose->setGeometry(right - kButtonWidth, kButtonTop, kButtonWidth, kButtonHeight);
    btnOK->setGeometry(btnClose->x() - kButtonGap - kButtonWidth, kButtonTop, kButtonWidth, kButtonHeight);

    // Both fields start 7 pixels after the source label and end 5
    // pixels before the refresh button.
    const int fieldLeft = labSelSrcFile->x() + labSelSrcFile->width() + 7;
    const int fieldWidth = btnSrcRefresh->x() - fieldLeft - 5;
    cmbSrcDrives->setGeometry(fieldLeft, kSourceTop, fieldWidth, kFieldHeight);
    txtDstFile->setGeometry(fieldLeft, kDestinationTop, fieldWidth, kFieldHeight);

    // OK stays off until a drive and a folder are given.
    ApplyOkRule();

    // The hints.
    cmbSrcDrives->setToolTip(QStringLiteral("Select drive or disk to be scanned"));
    btnSrcRefresh->setToolTip(QStringLiteral("Refresh drive and disk list"));
    txtDstFile->setToolTip(QStringLiteral("Set output directory for recovered messages"));
    btnDstMore->setToolTip(QStringLiteral("Browse and select output directory"));
    btnOK->setToolTip(QStringLiteral("Add drive/disk and output folder to batch recovery list"));
    btnClose->setToolTip(QStringLiteral("Close window"));
}

void TSelDriveForm::SetDrives(const QStringList& entries) {
    FillDriveCombo(cmbSrcDrives, entries);
    ApplyOkRule();
}

void TSelDriveForm::ApplyOkRule() {
    btnOK->setEnabled(!SelectedDriveText(cmbSrcDrives).isEmpty() && !txtDstFile->text().isEmpty());
}

void TSelDriveForm::cmbSrcDrivesChange() { ApplyOkRule(); }

void TSelDriveForm::txtDstFileChange() { ApplyOkRule(); }

void TSelDriveForm::btnSrcRefreshClick() {
    if (owner_ == nullptr) return;
    owner_->btnSrcRefreshClick();
    SetDrives(owner_->Drives->DriveDisplayList);
}

void TSelDriveForm::btnSrcImageClick() {
    if (owner_ == nullptr) return;
    const QString current = SelectedDriveText(cmbSrcDrives);
    const QString start = IsImageSource(current) ? QFileInfo(current).absolutePath() : QString();
    const QString file = Prompts().ChooseImageFile(this, start);
    if (file.isEmpty()) return;
    owner_->AddImageSource(file);
    SetDrives(owner_->Drives->DriveDisplayList);
    cmbSrcDrives->setCurrentIndex(cmbSrcDrives->findText(file, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void TSelDriveForm::btnDstMoreClick() {
    QString folder = Prompts().ChooseOutputFolder(this, txtDstFile->text());
    if (folder.isEmpty()) return;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    txtDstFile->setText(folder);
}

}  // namespace tolvan
