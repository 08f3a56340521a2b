#include "TolvanBatch.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "BatchList.h"
#include "TolvanLook.h"

namespace tolvan {

namespace {

// Page geometry. The progress panel lies at the top left (the main window
// places it); the Start button sits beside it, level with the gauge.
constexpr int kMargin = 7;
constexpr int kButtonHeight = 28;
constexpr int kListTop = 124;
constexpr int kButtonRowTop = 334;
constexpr int kListButtonWidth = 130;
constexpr int kStartWidth = 130;

QPushButton* PageButton(const QString& caption, const QString& hint, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setToolTip(hint);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

TBatchPage::TBatchPage(QWidget* parent, int width, int height) : TTolvanPanel(parent) {
    SetBevelOuter(TPanelBevel::None);
    setGeometry(0, 0, width, height);
    const int right = width - kMargin;

    btnRepairFiles = PageButton(QStringLiteral("&Start Recovery"), QString(), this);
    btnRepairFiles->setGeometry(right - kStartWidth, 34, kStartWidth, kButtonHeight);
    SetSkinElement(btnRepairFiles, kSkinStartButton);

    labFileList = new QLabel(QStringLiteral("&List of drives or disks to be recovered:"), this);
    QFont bold = labFileList->font();
    bold.setBold(true);
    labFileList->setFont(bold);
    labFileList->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labFileList->setGeometry(kMargin, kListTop - 24, labFileList->sizeHint().width(), 24);

    FileList = new TBatchList(this);
    FileList->setGeometry(kMargin, kListTop, right - kMargin, kButtonRowTop - 8 - kListTop);
    FileList->OnKeyDown = [this](QKeyEvent* event) { return FileListKeyDown(event); };
    labFileList->setBuddy(FileList);

    btnAddFiles = PageButton(QStringLiteral("A&dd Drive/Disk"),
                             QStringLiteral("Add one or multiple drives or disks to list"), this);
    btnRemoveFiles = PageButton(QStringLiteral("Re&move Selected"),
                                QStringLiteral("Remove selected drives or disks from list"), this);
    btnRemoveAll = PageButton(QStringLiteral("Remo&ve All"), QStringLiteral("Remove all drives and disks in list"),
                              this);
    int left = kMargin;
    for (QPushButton* button : {btnAddFiles, btnRemoveFiles, btnRemoveAll}) {
        button->setGeometry(left, kButtonRowTop, kListButtonWidth, kButtonHeight);
        left += kListButtonWidth + 8;
    }
    connect(btnRemoveFiles, &QPushButton::clicked, this, &TBatchPage::btnRemoveFilesClick);
    connect(btnRemoveAll, &QPushButton::clicked, this, &TBatchPage::btnRemoveAllClick);
}

void TBatchPage::btnRemoveFilesClick() { FileList->RemoveSelected(); }

void TBatchPage::btnRemoveAllClick() { FileList->RemoveAll(); }

bool TBatchPage::FileListKeyDown(QKeyEvent* event) {
    if (event->key() != Qt::Key_Delete) return false;
    if (event->modifiers() & Qt::ShiftModifier)
        btnRemoveAllClick();
    else
        btnRemoveFilesClick();
    return true;
}

}  // namespace tolvan
