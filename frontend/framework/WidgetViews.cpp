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

void TPausableText::SetText(const QString& text) {
    latest_ = text;
    if (!held_) label_->setText(text);
}

void TPausableText::Hold(const QString& notice) {
    held_ = true;
    label_->setText(notice);
}

void TPausableText::Release() {
    held_ = false;
    label_->setText(latest_);
}

void TPlainTextLog::AppendLine(const QString& line) { pane_->appendPlainText(line); }

void TMessageBoxAlert::ShowInformation(const QString& text) { Prompts().Information(parent_, text); }

}  // namespace tolvan
