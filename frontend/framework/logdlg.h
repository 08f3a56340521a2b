// The save dialog of the recovery log: Qt's own file dialog (not the
// desktop's, which takes no extra controls) with one more option below its
// fields, "Include System Information". The main window keeps one dialog
// for its whole life, so the option and the last file name stay as the
// user left them until the program ends.
#pragma once

#include <QFileDialog>

class QCheckBox;

namespace tolvan {

class TSaveLogDialog final : public QFileDialog {
    Q_OBJECT

public:
    // Log files, default extension "log", asks before replacing a file;
    // the box ticked.
    explicit TSaveLogDialog(QWidget* owner);

    // Shows the dialog (through the prompts, so that tests can answer it);
    // true when the user confirmed a file name, which is then in FileName.
    bool Execute();

    bool IncludeSysInfo() const;
    void SetIncludeSysInfo(bool include);

    // The file chosen last; the dialog offers it again the next time.
    QString FileName;

    QWidget* InfoPanel;
    QCheckBox* SystemInfoCheckBox;

protected:
    void showEvent(QShowEvent* event) override;
    // Keeps the confirmed name, and hides the box's tool tip so that it
    // does not stay on screen once the dialog is gone.
    void done(int result) override;
};

}  // namespace tolvan
