#include "agent/ui/agenticon.h"

#include <QPainter>
#include <QPixmap>

namespace {

// The shapes of tarvo-agent.svg on its 64 × 64 grid.
QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1e, 0x5a, 0xa8));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(10, 13, 44, 30), 3, 3);
    painter.drawRect(QRectF(28, 43, 8, 6));
    painter.drawRoundedRect(QRectF(19, 49, 26, 4), 2, 2);
    painter.setBrush(QColor(0x2d, 0x7d, 0xd2));
    painter.drawRect(QRectF(14, 17, 36, 22));
    painter.setPen(QPen(Qt::white, 2.5));
    painter.setBrush(QColor(0x3c, 0xb0, 0x43));
    painter.drawEllipse(QPointF(48, 47), 9, 9);
    return pixmap;
}

} // namespace

QIcon agentIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 32, 48, 64})
        icon.addPixmap(drawIcon(size));
    return icon;
}
