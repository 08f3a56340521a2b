#include "WidgetViews.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>

namespace tolvan {

int TProgressBarGauge::Position() const { return bar_->value(); }

void TProgressBarGauge::SetPosition(int percent) {
    bar_->setValue(qBound(bar_->minimum(), percent, bar_->maximum()));
}

void TLabelText::SetText(const QString& text) { label_->setText(text); }

void TPlainTextLog::AppendLine(const QString& line) { pane_->appendPlainText(line); }

void TMessageBoxAlert::ShowInformation(const QString& text) {
    QMessageBox::information(parent_, title_, text, QMessageBox::Ok);
}

}  // namespace tolvan
