// The Batch Recovery page of the framework's main window: the list of
// drives or disks with their output folders, its buttons, and the batch
// run that recovers the rows one after the other.
#include <exception>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "BatchList.h"
#include "LogPane.h"
#include "TolvanDuration.h"
#include "TolvanLook.h"
#include "TolvanMain.h"
#include "TolvanPanel.h"
#include "TolvanPrompts.h"

namespace tolvan {

namespace {

// Page geometry. The progress panel lies at the top left (the product
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

void TTolvanMainForm::CreateBatchPage() {
    const int right = palBatchRecovery->width() - kMargin;

    btnRepairFiles = PageButton(QStringLiteral("&Start Recovery"), QString(), palBatchRecovery);
    btnRepairFiles->setGeometry(right - kStartWidth, 34, kStartWidth, kButtonHeight);
    SetSkinElement(btnRepairFiles, kSkinStartButton);
    connect(btnRepairFiles, &QPushButton::clicked, this, &TTolvanMainForm::btnRepairFilesClick);

    labFileList = new QLabel(QStringLiteral("&List of drives or disks to be recovered:"), palBatchRecovery);
    QFont bold = labFileList->font();
    bold.setBold(true);
    labFileList->setFont(bold);
    labFileList->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    labFileList->setGeometry(kMargin, kListTop - 24, labFileList->sizeHint().width(), 24);

    FileList = new TBatchList(palBatchRecovery);
    FileList->setGeometry(kMargin, kListTop, right - kMargin, kButtonRowTop - 8 - kListTop);
    FileList->OnKeyDown = [this](QKeyEvent* event) { return FileListKeyDown(event); };
    labFileList->setBuddy(FileList);

    btnAddFiles = PageButton(QStringLiteral("A&dd Drive/Disk"),
                             QStringLiteral("Add one or multiple drives or disks to list"), palBatchRecovery);
    btnRemoveFiles = PageButton(QStringLiteral("Re&move Selected"),
                                QStringLiteral("Remove selected drives or disks from list"), palBatchRecovery);
    btnRemoveAll = PageButton(QStringLiteral("Remo&ve All"), QStringLiteral("Remove all drives and disks in list"),
                              palBatchRecovery);
    int left = kMargin;
    for (QPushButton* button : {btnAddFiles, btnRemoveFiles, btnRemoveAll}) {
        button->setGeometry(left, kButtonRowTop, kListButtonWidth, kButtonHeight);
        left += kListButtonWidth + 8;
    }
    connect(btnRemoveFiles, &QPushButton::clicked, this, &TTolvanMainForm::btnRemoveFilesClick);
    connect(btnRemoveAll, &QPushButton::clicked, this, &TTolvanMainForm::btnRemoveAllClick);
}

void TTolvanMainForm::btnRemoveFilesClick() { FileList->RemoveSelected(); }

void TTolvanMainForm::btnRemoveAllClick() { FileList->RemoveAll(); }

bool TTolvanMainForm::FileListKeyDown(QKeyEvent* event) {
    if (event->key() != Qt::Key_Delete) return false;
    if (event->modifiers() & Qt::ShiftModifier)
        btnRemoveAllClick();
    else
        btnRemoveFilesClick();
    return true;
}

void TTolvanMainForm::btnRepairFilesClick() {
    // While a run of either kind is going on, or stopping, only a stop.
    if (flowActive_) {
        running_ = false;
        return;
    }
    RunBatch();
}

void TTolvanMainForm::RunBatch() {
    if (FileList->RowCount() == 0) {
        Tell(QStringLiteral("Please add drives or disks to the list first"));
        return;
    }
    // One question for every row whose folder lies on its own source,
    // before anything is written.
    QStringList onSource;
    for (const TBatchList::TRow& row : FileList->Rows()) {
        if (!DestinationIsFile() && OutputOnSource(FileList->Source(row), FileList->Folder(row)))
            onSource.append(QStringLiteral("'%1' on '%2'").arg(FileList->Folder(row), FileList->Source(row)));
    }
    if (!onSource.isEmpty() && !ConfirmOutputOnSource(onSource)) return;

    QString error;
    BeginFlow();
    haveLastTotals_ = false;
    try {
        txtRepairLog->Clear();
        StartTime.start();
        Timer.start();
        labConsumedTime->setText(ConsumedTimeText(0));
        // The rows of this run are the rows of now. Rows may be removed
        // while it runs (the page stays usable): such a row is skipped when
        // its turn comes, and one removed during its own turn gets no status.
        const QList<TBatchList::TRow> rows = FileList->Rows();
        for (const TBatchList::TRow& row : rows) FileList->SetStatus(row, QString::fromLatin1(kStatusNotRecovered));
        BeforeBatch();

        TBatchCounts counts;
        for (const TBatchList::TRow& row : rows) {
            if (!running_) break;
            if (!row.isValid()) continue;
            const QString source = FileList->Source(row);
            const QString folder = FileList->Folder(row);
            QString absolute;
            if (!CreateDestination(folder, absolute)) continue;  // stays "Not Recovered", unreported
            runOutput_ = absolute;
            const TSourceCheck check = CheckSource(source);
            if (!check.problem.isEmpty()) Log(check.problem);
            BeforeRecovery();
            TRunOutcome outcome;
            try {
                outcome = CallRecovery(source, folder, SourceSize(source), check.empty);
            } catch (...) {
                AfterRecovery();
                throw;
            }
            AfterRecovery();
            const bool stopped = !running_;
            FileList->SetStatus(row, BatchStatusText(outcome, stopped));
            counts.Add(outcome, stopped);
        }
        Timer.stop();
        // A window that is waiting to close shows nothing more.
        if (!closePending_) Tell(BatchCountText(counts));
    } catch (const std::exception& raised) {
        error = QString::fromLocal8Bit(raised.what());
    } catch (...) {
        error = QStringLiteral("An unexpected error ended the recovery.");
    }

    // Closing steps, on every way out.
    running_ = false;
    txtRepairLog->Clear();
    Timer.stop();
    try {
        AfterBatch();
    } catch (const std::exception& raised) {
        if (error.isEmpty()) error = QString::fromLocal8Bit(raised.what());
    }
    EndFlow();
    if (!error.isEmpty()) ShowFlowError(error);
}

}  // namespace tolvan
