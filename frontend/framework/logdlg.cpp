#include "logdlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QSplitter>
#include <QToolTip>

#include "TolvanPrompts.h"

namespace tolvan {

namespace {

const char kCaption[] = "Include S&ystem Information";

}  // namespace

TSaveLogDialog::TSaveLogDialog(QWidget* owner) : QFileDialog(owner, QStringLiteral("Save Log")) {
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::DontConfirmOverwrite, false);
    setDefaultSuffix(QStringLiteral("log"));
    setNameFilter(QStringLiteral("Log files (*.log)"));
    setSizeGripEnabled(true);
    // Room for the places on the left and the date column on the right.
    resize(760, 480);
    if (auto* splitter = findChild<QSplitter*>(QStringLiteral("splitter"))) splitter->setSizes({160, 600});

    InfoPanel = new QWidget(this);
    auto* row = new QHBoxLayout(InfoPanel);
    row->setContentsMargins(0, 0, 0, 0);
    SystemInfoCheckBox = new QCheckBox(QString::fromLatin1(kCaption), InfoPanel);
    SystemInfoCheckBox->setToolTip(QStringLiteral("Include system information in the log file"));
    SystemInfoCheckBox->setChecked(true);
    row->addWidget(SystemInfoCheckBox, 0, Qt::AlignTop);
    row->addStretch();
    // Below the file type, in the column of the fields: where the system's
    // own dialog would put an option of its own.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(InfoPanel, grid->rowCount(), 1, 1, 1);
        if (auto* types = findChild<QWidget*>(QStringLiteral("fileTypeCombo"))) setTabOrder(types, SystemInfoCheckBox);
    }
}

bool TSaveLogDialog::Execute() {
    if (!FileName.isEmpty()) selectFile(FileName);
    return Prompts().Execute(*this) == QDialog::Accepted && !FileName.isEmpty();
}

bool TSaveLogDialog::IncludeSysInfo() const { return SystemInfoCheckBox->isChecked(); }

void TSaveLogDialog::SetIncludeSysInfo(bool include) { SystemInfoCheckBox->setChecked(include); }

void TSaveLogDialog::showEvent(QShowEvent* event) {
    SystemInfoCheckBox->setText(QString::fromLatin1(kCaption));
    QFileDialog::showEvent(event);
}

void TSaveLogDialog::done(int result) {
    if (result == QDialog::Accepted && !selectedFiles().isEmpty()) FileName = selectedFiles().constFirst();
    QFileDialog::done(result);
    QToolTip::hideText();
}

}  // namespace tolvan
