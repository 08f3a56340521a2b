// The main window's smaller actions: the folder pickers, help and the About
// page's links, and saving the log (after the system and setting
// information when asked, and ending with the last run's totals).
#include "TolvanMain.h"

#include <exception>

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

#include "DragEdit.h"
#include "LogPane.h"
#include "SystemFacts.h"
#include "TextFile.h"
#include "TolvanPrompts.h"
#include "TolvanUtils.h"
#include "logdlg.h"

namespace tolvan {

namespace {

QString Separator() { return QString::fromLatin1(kSeparatorLine); }

}  // namespace

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
