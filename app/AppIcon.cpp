#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    // Camera body and lens.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1f, 0x4e, 0x79));
    p.drawRoundedRect(QRectF(3, 7, 22, 14), 3, 3);
    p.drawPolygon(QPolygonF({QPointF(25, 11), QPointF(30, 8), QPointF(30, 20), QPointF(25, 17)}));
    p.setBrush(QColor(0xe8, 0xf1, 0xfa));
    p.drawEllipse(QPointF(12, 14), 4.5, 4.5);
    p.setBrush(QColor(0x2e, 0x9c, 0xdb));
    p.drawEllipse(QPointF(12, 14), 2.5, 2.5);
    // The network it was found on.
    p.setPen(QPen(QColor(0x2e, 0x9c, 0xdb), 2));
    p.drawLine(QPointF(14, 21), QPointF(14, 27));
    p.drawLine(QPointF(5, 27), QPointF(27, 27));
    return pixmap;
}

} // namespace

QIcon LoadAppIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(DrawIcon(size));
    return icon;
}
