// The framework's fixed-size dialog with a Close button; the report window
// and the add-drive dialog build on it.
#pragma once

#include <QDialog>

class QPushButton;

namespace tolvan {

class TControlLook;
class TFormLook;
class THintComponent;

class TTolvanForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 482;
    static constexpr int kHeight = 438;

    // Applies each appearance object that is given (see TTolvanMsgForm).
    TTolvanForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                const THintComponent* hintComponent);

    QPushButton* btnClose;  // the Cancel result

protected:
    // The client size, kept fixed.
    void SetClientSize(int width, int height);
};

}  // namespace tolvan
