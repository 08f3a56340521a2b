// The framework's message dialog: an information icon, a word-wrapped
// message and its buttons, laid out to fit the message when shown.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace tolvan {

class TControlLook;
class TFormLook;
class THintComponent;

class TTolvanMsgForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 482;
    static constexpr int kDesignHeight = 142;
    static constexpr int kMessageWidth = 399;
    // The design's outer height counts the title bar and border that the
    // system drew around the client area; Qt sizes the client area itself.
    static constexpr int kFrameAllowance = 26;

    // Applies each appearance object that is given; with none the dialog
    // keeps the application's look.
    TTolvanMsgForm(QWidget* owner, const TFormLook* formLook, const TControlLook* controlLook,
                   const THintComponent* hintComponent);

    // Moves the buttons 14 pixels under the wrapped message and sizes the
    // dialog to label + button + 69 pixels of outer height.
    void FormShow();

    QLabel* imgIcon;
    QLabel* labMsg;
    QPushButton* btnReport;  // hidden here; the default button
    QPushButton* btnClose;

protected:
    void showEvent(QShowEvent* event) override;
};

// Applies the three appearance objects (each may be null) to a window.
void ApplyLooks(QWidget* window, const TFormLook* formLook, const TControlLook* controlLook,
                const THintComponent* hintComponent);

}  // namespace tolvan
