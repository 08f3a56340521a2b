// The add-drive dialog of the Batch Recovery page: one drive or disk of the
// main window's list (or a disk image file) and the folder its messages go
// to, confirmed with OK.
#pragma once

#include <QStringList>

#include "TolvanFrm.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace tolvan {

class TMainForm;

class TSelDriveForm final : public TTolvanForm {
    Q_OBJECT

public:
    // The design's client size. The dialog is wider when its title line
    // needs more room in the program's font, and by the image button.
    static constexpr int kDesignWidth = 593;
    static constexpr int kHeight = 169;

    // owner: the main window whose drive list the dialog offers and
    // refreshes; may be null (refresh and image then do nothing).
    TSelDriveForm(TMainForm* owner, const TFormLook* formLook, const TControlLook* controlLook,
                  const THintComponent* hintComponent);

    // Replaces the entries of cmbSrcDrives, leaving none selected.
    void SetDrives(const QStringList& entries);

    // --- Handlers ---
    void FormCreate();
    // Refreshes the main window's drive list, then offers it again.
    void btnSrcRefreshClick();
    // Adds a disk image file to the main window's list and selects it.
    void btnSrcImageClick();
    // The main window's folder chooser; the chosen folder ends with '/'.
    void btnDstMoreClick();
    void cmbSrcDrivesChange();
    void txtDstFileChange();

    // --- Controls, in tab order (btnClose, the Cancel button, last) ---
    QLabel* Label1;
    QLabel* labSelSrcFile;
    QComboBox* cmbSrcDrives;
    QPushButton* btnSrcRefresh;
    QPushButton* btnSrcImage;
    QLabel* labSelDstFile;
    QLineEdit* txtDstFile;
    QPushButton* btnDstMore;
    QPushButton* btnOK;

private:
    // OK only with an entry selected and a destination typed; the text is
    // taken as it is, so blanks count.
    void ApplyOkRule();

    TMainForm* owner_;
};

}  // namespace tolvan
