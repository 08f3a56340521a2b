#include "WidgetViews.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>

#include "TolvanPrompts.h"

namespace tolvan {

int TProgressBarGauge::Position() const { return bar_->value(); }

void TProgressBarGauge::SetPosition(int percent) {
    bar_->setValue(qBound(bar_->minimum(), percent, bar_->maximum()));
}

void TLabelText::SetText(const QString& text) { label_->setText(text); }

namespace {

// A text too long for its label ends in an ellipsis; the whole text is the
// label's hint.
void ShowFitted(QLabel* label, const QString& text) {
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideRight, label->width());
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}

}  // namespace

void TPausableText::SetText(const QString& text) {
    latest_ = text;
    if (!held_) ShowFitted(label_, text);
}

void TPausableText::Hold(const QString& notice) {
    held_ = true;
    ShowFitted(label_, notice);
}

void TPausableText::Release() {
    held_ = false;
    ShowFitted(label_, latest_);
}

void TPlainTextLog::AppendLine(const QString& line) { pane_->appendPlainText(line); }

void TMessageBoxAlert::ShowInformation(const QString& text) { Prompts().Information(parent_, text); }

}  // namespace tolvan
