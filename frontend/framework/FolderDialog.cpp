#include "FolderDialog.h"

#include <QDir>
#include <QFileInfo>

#include "TolvanPrompts.h"

namespace tolvan {

QString NearestExistingFolder(const QString& start) {
    QString folder = start.trimmed().isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(start));
    while (!folder.isEmpty()) {
        if (QFileInfo(folder).isDir()) return folder;
        const QString parent = QFileInfo(folder).path();
        if (parent == folder) break;
        folder = parent;
    }
    return QDir::homePath();
}

TFolderDialog::TFolderDialog(QWidget* parent, const QString& start)
    : QFileDialog(parent, QStringLiteral("Select output directory for recovered messages"),
                  NearestExistingFolder(start)) {
    // The desktop's own dialogs refuse a folder that does not exist.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ShowDirsOnly, true);
    setFileMode(QFileDialog::Directory);
    setLabelText(QFileDialog::Accept, QStringLiteral("&OK"));
}

QString TFolderDialog::ChosenFolder() const {
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : QDir::cleanPath(files.first());
}

void TFolderDialog::accept() {
    const QString folder = ChosenFolder();
    if (!folder.isEmpty() && !QFileInfo::exists(folder)) {
        if (!Prompts().Confirm(this, QStringLiteral("The specified directory does not exist. Create it?")))
            return;
        if (!QDir().mkpath(folder)) {
            Prompts().Error(this, QStringLiteral("Cannot create the directory '%1'!").arg(folder));
            return;
        }
    }
    QFileDialog::accept();
}

}  // namespace tolvan
