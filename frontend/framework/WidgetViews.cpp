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

void TPlainTextLog::AppendLine(const QString& line) { pane_->appendPlainText(line); }

void TMessageBoxAlert::ShowInformation(const QString& text) { Prompts().Information(parent_, text); }

}  // namespace tolvan
