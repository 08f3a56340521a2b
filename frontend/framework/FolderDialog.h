// The output-folder picker: Qt's own folder dialog, which also takes the
// name of a folder that does not exist yet and creates it after asking.
#pragma once

#include <QFileDialog>

namespace tolvan {

class TFolderDialog final : public QFileDialog {
    Q_OBJECT

public:
    // start: the folder shown first (the output field's text; a missing
    // folder starts at its nearest existing parent).
    TFolderDialog(QWidget* parent, const QString& start);

    // The folder the user confirmed, without a trailing '/'.
    QString ChosenFolder() const;

public Q_SLOTS:
    void accept() override;
};

// start, or its nearest parent that exists; the home folder when none does.
QString NearestExistingFolder(const QString& start);

}  // namespace tolvan
