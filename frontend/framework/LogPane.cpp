#include "LogPane.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

namespace tolvan {

namespace {

constexpr int kMargin = 4;

}  // namespace

TLogPane::TLogPane(QWidget* parent) : QAbstractScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(20);
    UpdateScrollBars();
}

void TLogPane::AppendLine(const QString& line) {
    text_.append(line.toUtf8());
    ends_.push_back(text_.size());
    ScheduleSync();
}

void TLogPane::Clear() {
    text_.clear();
    text_.squeeze();
    ends_.clear();
    ends_.shrink_to_fit();
    measured_ = 0;
    longestBytes_ = 0;
    widest_ = 0;
    anchor_ = cursor_ = -1;
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    UpdateScrollBars();
    viewport()->update();
}

QString TLogPane::Line(qsizetype index) const {
    if (index < 0 || index >= LineCount()) return QString();
    const qsizetype begin = index == 0 ? 0 : ends_[static_cast<size_t>(index - 1)];
    return QString::fromUtf8(text_.constData() + begin, ends_[static_cast<size_t>(index)] - begin);
}

QStringList TLogPane::Lines() const {
    QStringList lines;
    lines.reserve(LineCount());
    for (qsizetype i = 0; i < LineCount(); ++i) lines.append(Line(i));
    return lines;
}

void TLogPane::SelectAll() {
    if (LineCount() == 0) return;
    anchor_ = 0;
    cursor_ = LineCount() - 1;
    viewport()->update();
}

QString TLogPane::SelectedText() const {
    if (anchor_ < 0 || LineCount() == 0) return QString();
    const qsizetype first = std::min(anchor_, cursor_);
    const qsizetype last = std::min(std::max(anchor_, cursor_), LineCount() - 1);
    QStringList lines;
    for (qsizetype i = first; i <= last; ++i) lines.append(Line(i));
    return lines.join(QLatin1Char('\n'));
}

void TLogPane::CopySelection() const {
    const QString text = SelectedText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

qsizetype TLogPane::TopLine() const { return verticalScrollBar()->value(); }

// Appends only mark the pane; the scroll bars and the picture follow once
// the current burst of events is over, so a burst costs one relayout.
void TLogPane::ScheduleSync() {
    if (syncPending_) return;
    syncPending_ = true;
    QMetaObject::invokeMethod(this, &TLogPane::Sync, Qt::QueuedConnection);
}

void TLogPane::Sync() {
    syncPending_ = false;
    QScrollBar* bar = verticalScrollBar();
    const bool followEnd = bar->value() >= bar->maximum();
    // Lines of a log are much alike; measuring only those longer in bytes
    // than the longest so far finds the widest at a fraction of the cost.
    const QFontMetrics metrics(font());
    for (; measured_ < LineCount(); ++measured_) {
        const qsizetype begin = measured_ == 0 ? 0 : ends_[static_cast<size_t>(measured_ - 1)];
        const qsizetype bytes = ends_[static_cast<size_t>(measured_)] - begin;
        if (bytes <= longestBytes_) continue;
        longestBytes_ = bytes;
        widest_ = std::max(widest_, metrics.horizontalAdvance(Line(measured_)));
    }
    UpdateScrollBars();
    if (followEnd) bar->setValue(bar->maximum());
    viewport()->update();
}

int TLogPane::LineHeight() const { return fontMetrics().lineSpacing(); }

int TLogPane::VisibleLines() const {
    return std::max(1, (viewport()->height() - 2 * kMargin) / LineHeight());
}

void TLogPane::UpdateScrollBars() {
    const int visible = VisibleLines();
    const qsizetype hidden = std::max<qsizetype>(0, LineCount() - visible);
    verticalScrollBar()->setRange(0, static_cast<int>(std::min<qsizetype>(hidden, INT_MAX)));
    verticalScrollBar()->setPageStep(visible);
    const int width = viewport()->width();
    horizontalScrollBar()->setRange(0, std::max(0, widest_ + 2 * kMargin - width));
    horizontalScrollBar()->setPageStep(std::max(1, width));
}

void TLogPane::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    const int lineHeight = LineHeight();
    const int ascent = fontMetrics().ascent();
    const int x = kMargin - horizontalScrollBar()->value();
    const int width = viewport()->width();
    const qsizetype first = TopLine();
    const qsizetype last = std::min(LineCount(), first + VisibleLines() + 1);
    const QPalette& colours = palette();
    int y = kMargin;
    for (qsizetype line = first; line < last; ++line, y += lineHeight) {
        if (Selected(line)) {
            painter.fillRect(0, y, width, lineHeight, colours.color(QPalette::Highlight));
            painter.setPen(colours.color(QPalette::HighlightedText));
        } else {
            painter.setPen(colours.color(QPalette::Text));
        }
        painter.drawText(x, y + ascent, Line(line));
    }
}

void TLogPane::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TLogPane::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        measured_ = 0;
        longestBytes_ = 0;
        widest_ = 0;
        ScheduleSync();
    }
    QAbstractScrollArea::changeEvent(event);
}

qsizetype TLogPane::LineAt(int y) const {
    if (LineCount() == 0) return -1;
    const qsizetype line = TopLine() + std::max(0, y - kMargin) / LineHeight();
    return std::min(line, LineCount() - 1);
}

void TLogPane::SelectTo(qsizetype line, bool extend) {
    if (line < 0) return;
    if (!extend || anchor_ < 0) anchor_ = line;
    cursor_ = line;
    viewport()->update();
}

bool TLogPane::Selected(qsizetype line) const {
    return anchor_ >= 0 && line >= std::min(anchor_, cursor_) && line <= std::max(anchor_, cursor_);
}

void TLogPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        SelectTo(LineAt(event->position().toPoint().y()), event->modifiers() & Qt::ShiftModifier);
    QAbstractScrollArea::mousePressEvent(event);
}

void TLogPane::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) {
        const int y = event->position().toPoint().y();
        // Dragging past an edge scrolls on.
        if (y < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        if (y > viewport()->height()) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        SelectTo(LineAt(std::clamp(y, 0, viewport()->height() - 1)), true);
    }
}

void TLogPane::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up: bar->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: bar->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_PageUp: bar->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: bar->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Home: bar->triggerAction(QAbstractSlider::SliderToMinimum); break;
    case Qt::Key_End: bar->triggerAction(QAbstractSlider::SliderToMaximum); break;
    case Qt::Key_Left: horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    default: QAbstractScrollArea::keyPressEvent(event); break;
    }
}

void TLogPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction(QStringLiteral("&Copy"), this, &TLogPane::CopySelection);
    copy->setEnabled(anchor_ >= 0 && LineCount() > 0);
    QAction* all = menu.addAction(QStringLiteral("Select &All"), this, &TLogPane::SelectAll);
    all->setEnabled(LineCount() > 0);
    menu.exec(event->globalPos());
}

}  // namespace tolvan
