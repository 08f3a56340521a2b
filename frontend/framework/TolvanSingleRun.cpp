// The single recovery of the Recovery page: the Start-button rule, and the
// flow from a Start press to the summary or the failure box.
#include "TolvanMain.h"

#include <exception>

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "DragEdit.h"
#include "LogPane.h"
#include "RunLog.h"
#include "TolvanDuration.h"
#include "TolvanPrompts.h"

namespace tolvan {

void TTolvanMainForm::ApplyStartButtonRule() {
    // During a run the button is the Stop button and stays usable whatever
    // the fields hold; the closing steps apply the rule again.
    if (flowActive_) return;
    btnRepair->setEnabled(!txtSrcFile->text().trimmed().isEmpty() && !txtDstFile->text().trimmed().isEmpty());
}

void TTolvanMainForm::txtSrcFileChange() { ApplyStartButtonRule(); }

void TTolvanMainForm::txtDstFileChange() { ApplyStartButtonRule(); }

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
        for (const QString& line : OpeningLines()) Log(line);
        // The warning comes before the folder is made: making it is
        // already a write on the disk being scanned.
        if (!DestinationIsFile() && OutputOnSource(source, destination) &&
            !ConfirmOutputOnSource({QStringLiteral("'%1' on '%2'").arg(destination, source)})) {
            chooseAnother = true;
            Log(QString::fromLatin1(kRunAbortedLine));
        } else if (!CreateDestination(destination, absolute)) {
            Log(QString::fromLatin1(kRunAbortedLine));
            Tell(QStringLiteral("Cannot create the directory '%1'!").arg(destination), true);
        } else {
            runOutput_ = absolute;
            const uint64_t size = SourceSize(source);
            const TSourceCheck check = CheckSource(source);
            for (const QString& line : SourceLines(source, size, destination, RunModeText(), check.problem)) Log(line);

            StartTime.start();
            Timer.start();
            labConsumedTime->setText(ConsumedTimeText(0));
            outcome = CallRecovery(source, destination, size, check.empty);

            Timer.stop();
            const int64_t elapsed = StartTime.elapsed();
            labConsumedTime->setText(ConsumedTimeText(elapsed));
            for (const QString& line : ClosingLines(elapsed)) Log(line);

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

}  // namespace tolvan
