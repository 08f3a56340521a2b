// The engine-event views (TolvanViews.h) over ordinary Qt controls, for the
// main window to compose.
#pragma once

#include <QString>

#include "TolvanViews.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QWidget;

namespace tolvan {

class TProgressBarGauge final : public TGaugeView {
public:
    explicit TProgressBarGauge(QProgressBar* bar) : bar_(bar) {}
    int Position() const override;
    // Kept inside the bar's range: a QProgressBar ignores values outside it.
    void SetPosition(int percent) override;

private:
    QProgressBar* bar_;
};

class TLabelText final : public TTextView {
public:
    explicit TLabelText(QLabel* label) : label_(label) {}
    void SetText(const QString& text) override;

private:
    QLabel* label_;
};

// A label the dispatcher writes to that can be held on a notice (the run
// waits for a dialog) and shows the latest text again once released. A
// text too long for the label is cut with an ellipsis, whole in its hint.
class TPausableText final : public TTextView {
public:
    explicit TPausableText(QLabel* label) : label_(label) {}
    void SetText(const QString& text) override;
    void Hold(const QString& notice);
    void Release();
    bool Held() const { return held_; }

private:
    QLabel* label_;
    QString latest_;
    bool held_ = false;
};

class TPlainTextLog final : public TLogView {
public:
    explicit TPlainTextLog(QPlainTextEdit* pane) : pane_(pane) {}
    void AppendLine(const QString& line) override;

private:
    QPlainTextEdit* pane_;
};

// Information boxes through the window's prompts (TolvanPrompts.h).
class TMessageBoxAlert final : public TAlertView {
public:
    // parent: the window the boxes belong to.
    explicit TMessageBoxAlert(QWidget* parent) : parent_(parent) {}
    void ShowInformation(const QString& text) override;

private:
    QWidget* parent_;
};

}  // namespace tolvan
