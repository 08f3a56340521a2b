// The batch run of the main window: every row of the Batch Recovery page
// recovered in turn, each with its status, and a count at the end.
#include <exception>

#include <QLabel>
#include <QPushButton>

#include "BatchList.h"
#include "LogPane.h"
#include "TolvanBatch.h"
#include "TolvanDuration.h"
#include "TolvanMain.h"

namespace tolvan {

void TTolvanMainForm::btnRepairFilesClick() {
    // While a run of either kind is going on, or stopping, only a stop.
    if (flowActive_) {
        running_ = false;
        return;
    }
    RunBatch();
}

void TTolvanMainForm::RunBatch() {
    TBatchList* const FileList = palBatchRecovery->FileList;
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
