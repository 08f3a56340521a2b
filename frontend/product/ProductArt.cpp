#include "ProductArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "TolvanLook.h"

namespace tolvan {

namespace {

// An envelope in rect: its outline and the flap's two lines.
void DrawEnvelope(QPainter& painter, const QRectF& rect, const QColor& colour, qreal width) {
    QPen pen(colour, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect, width, width);
    QPainterPath flap;
    flap.moveTo(rect.left() + width, rect.top() + width);
    flap.lineTo(rect.center().x(), rect.top() + rect.height() * 0.58);
    flap.lineTo(rect.right() - width, rect.top() + width);
    painter.drawPath(flap);
}

}  // namespace

QPixmap LogoPicture(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, size);
    fill.setColorAt(0, QColor(74, 136, 207));
    fill.setColorAt(1, QColor(39, 90, 152));
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size * 0.18, size * 0.18);
    const qreal margin = size * 0.2;
    DrawEnvelope(painter, QRectF(margin, size * 0.3, size - 2 * margin, size * 0.42), Qt::white, qMax(1.5, size / 24.0));
    return picture;
}

QPixmap BannerPicture(QSize size, const QString& title, const QString& subtitle) {
    QPixmap picture(size);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient band(0, 0, size.width(), 0);
    band.setColorAt(0, QColor(31, 73, 125));
    band.setColorAt(1, QColor(58, 116, 178));
    painter.fillRect(picture.rect(), band);

    const int logo = size.height() - 16;
    painter.drawPixmap(16, 8, LogoPicture(logo));
    QFont name = SansFont(15);
    name.setBold(true);
    painter.setFont(name);
    painter.setPen(Qt::white);
    const int textLeft = 16 + logo + 10;
    painter.drawText(QRect(textLeft, 4, 240, size.height() / 2 + 4), Qt::AlignLeft | Qt::AlignBottom, title);
    painter.setFont(SansFont(8));
    painter.setPen(QColor(205, 222, 242));
    painter.drawText(QRect(textLeft, size.height() / 2 + 9, 240, size.height() / 2 - 9), Qt::AlignLeft | Qt::AlignTop,
                     subtitle);
    return picture;
}

}  // namespace tolvan
