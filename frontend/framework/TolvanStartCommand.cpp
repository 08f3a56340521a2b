// The command line of the main window: the source it names is recovered
// at once; with -e the program then ends without waiting for a click.
#include "TolvanMain.h"

#include <QCheckBox>
#include <QFileInfo>

#include "DragEdit.h"
#include "TolvanCommandLine.h"

namespace tolvan {

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

}  // namespace tolvan
