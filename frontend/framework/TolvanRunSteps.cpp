// The steps every run of the main window shares, single or batch: the
// running state and both Start buttons, the log and the messages, the
// output folder and the warning when it lies on the scanned disk, one
// engine call with its measurements, and the pause notice.
#include "TolvanMain.h"

#include <cstdio>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include "LogPane.h"
#include "RunLog.h"
#include "TolvanBatch.h"
#include "TolvanDuration.h"
#include "TolvanLook.h"
#include "TolvanPrompts.h"

namespace tolvan {

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
    ShowAsStop(palBatchRecovery->btnRepairFiles, true);
    btnRepair->setEnabled(true);
}

void TTolvanMainForm::EndFlow() {
    running_ = false;
    Timer.stop();
    flowActive_ = false;
    ShowAsStop(btnRepair, false);
    ShowAsStop(palBatchRecovery->btnRepairFiles, false);
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
    const QString warning = QString::fromLatin1(kOutputOnSourceLine);
    if (unattended_) {
        Log(warning);
        return true;
    }
    const QString text =
        QStringLiteral("The output folder lies on the drive or disk being scanned:\n%1\n\nWriting the recovered "
                       "messages there can overwrite the very data that is to be recovered. Choose a folder on "
                       "another drive or disk if you can.")
            .arg(places.join(QLatin1Char('\n')));
    const QStringList buttons{QStringLiteral("Continue"), QStringLiteral("Choose another folder")};
    const bool go = Prompts().Choose(this, text, buttons) == 0;
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

void TTolvanMainForm::ShowAsStop(QPushButton* button, bool stop) {
    button->setText(stop ? QStringLiteral("&Stop Recovery") : QStringLiteral("&Start Recovery"));
    SetSkinElement(button, stop ? kSkinStopButton : kSkinStartButton);
}

void TTolvanMainForm::ShowPaused(bool paused) {
    if (paused)
        figuresView_->Hold(QStringLiteral("The recovery is paused while a dialog is open; it goes on when the "
                                          "dialog is closed."));
    else if (figuresView_->Held())
        figuresView_->Release();
}

void TTolvanMainForm::TimerTimer() {
    if (running_) labConsumedTime->setText(ConsumedTimeText(StartTime.elapsed()));
}

}  // namespace tolvan
