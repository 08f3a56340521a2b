#include "TolvanPanel.h"

#include <QPainter>
#include <QStyle>

namespace tolvan {

namespace {

// A 3-D frame of the given width inside rect, which shrinks to what lies
// within it: top and left edges in topLeft, bottom and right edges in
// bottomRight, which also takes the two corners where the colours meet.
void Frame3D(QPainter& painter, QRect& rect, const QColor& topLeft, const QColor& bottomRight,
             int width) {
    for (int i = 0; i < width && rect.width() > 0 && rect.height() > 0; ++i) {
        painter.fillRect(QRect(rect.left(), rect.top(), rect.width() - 1, 1), topLeft);
        painter.fillRect(QRect(rect.left(), rect.top(), 1, rect.height() - 1), topLeft);
        painter.fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), bottomRight);
        painter.fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), bottomRight);
        rect.adjust(1, 1, -1, -1);
    }
}

void Bevel(QPainter& painter, QRect& rect, TTolvanPanel::TPanelBevel bevel, int width,
           const QPalette& palette) {
    if (bevel == TTolvanPanel::TPanelBevel::None) return;
    const QColor shadow = palette.color(QPalette::Dark);
    const QColor highlight = palette.color(QPalette::Light);
    if (bevel == TTolvanPanel::TPanelBevel::Lowered)
        Frame3D(painter, rect, shadow, highlight, width);
    else
        Frame3D(painter, rect, highlight, shadow, width);
}

}  // namespace

TTolvanPanel::TTolvanPanel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

template <class T>
void TTolvanPanel::Change(T& member, const T& value) {
    if (member == value) return;
    member = value;
    update();
}

void TTolvanPanel::SetCaption(const QString& caption) { Change(caption_, caption); }
void TTolvanPanel::SetAlignment(Qt::Alignment alignment) {
    Change(alignment_, alignment & Qt::AlignHorizontal_Mask);
}
void TTolvanPanel::SetBevelOuter(TPanelBevel bevel) { Change(bevelOuter_, bevel); }
void TTolvanPanel::SetBevelInner(TPanelBevel bevel) { Change(bevelInner_, bevel); }
void TTolvanPanel::SetBevelWidth(int width) { Change(bevelWidth_, qMax(0, width)); }
void TTolvanPanel::SetBorderWidth(int width) { Change(borderWidth_, qMax(0, width)); }
void TTolvanPanel::SetColor(const QColor& color) { Change(color_, color); }

void TTolvanPanel::SetTransparent(bool transparent) {
    if (transparent == transparent_) return;
    transparent_ = transparent;
    // An opaque panel paints every pixel, so Qt need not paint what lies
    // behind it first; a transparent one relies on exactly that.
    setAttribute(Qt::WA_OpaquePaintEvent, !transparent);
    update();
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) child->update();
}

void TTolvanPanel::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    QRect rect = this->rect();
    Bevel(painter, rect, bevelOuter_, bevelWidth_, palette());
    Frame3D(painter, rect, color_, color_, borderWidth_);
    Bevel(painter, rect, bevelInner_, bevelWidth_, palette());
    if (!transparent_) painter.fillRect(rect, color_);

    if (caption_.isEmpty()) return;
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const int textHeight = painter.fontMetrics().height();
    const int top = (rect.top() + rect.top() + rect.height() - textHeight) / 2;
    const QRect textRect(rect.left(), top, rect.width(), textHeight);
    const Qt::Alignment horizontal = QStyle::visualAlignment(layoutDirection(), alignment_);
    painter.drawText(textRect, Qt::TextSingleLine | Qt::TextExpandTabs | Qt::AlignVCenter | horizontal,
                     caption_);
}

}  // namespace tolvan
