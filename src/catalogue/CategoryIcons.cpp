#include "catalogue/CategoryIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace velmora {

namespace {

const QColor kOutline(0x6b, 0x55, 0x1d);
const QColor kFolder(0xf2, 0xc9, 0x4c);
const QColor kFolderInside(0xd9, 0xa8, 0x2b);
const QColor kTray(0x7b, 0x87, 0x94);
const QColor kTrayFill(0xe4, 0xe8, 0xec);

// A 16 x 16 picture, with a sharper one for scaled screens.
void AddPicture(QIcon& icon, const std::function<void(QPainter&)>& paint, QIcon::Mode mode)
{
    for (const int scale : {1, 2}) {
        QPixmap pixmap(16 * scale, 16 * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
        painter.end();
        icon.addPixmap(pixmap, mode);
    }
}

void ClosedFolder(QPainter& painter)
{
    painter.setPen(QPen(kOutline, 1));
    painter.setBrush(kFolder);
    QPainterPath shape;
    shape.moveTo(1.5, 3.5);
    shape.lineTo(6, 3.5);
    shape.lineTo(7.5, 5);
    shape.lineTo(14.5, 5);
    shape.lineTo(14.5, 13.5);
    shape.lineTo(1.5, 13.5);
    shape.closeSubpath();
    painter.drawPath(shape);
    painter.drawLine(QPointF(1.5, 6.5), QPointF(14.5, 6.5));
}

void OpenFolder(QPainter& painter)
{
    painter.setPen(QPen(kOutline, 1));
    painter.setBrush(kFolderInside);
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(13.5, 5);
    back.lineTo(13.5, 7.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    painter.drawPath(back);
    painter.setBrush(kFolder);
    QPainterPath front;
    front.moveTo(4, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(13, 13.5);
    front.lineTo(1.5, 13.5);
    front.closeSubpath();
    painter.drawPath(front);
}

void Tray(QPainter& painter)
{
    painter.setPen(QPen(kTray, 1));
    painter.setBrush(kTrayFill);
    QPainterPath shape;
    shape.moveTo(1.5, 8.5);
    shape.lineTo(4, 3.5);
    shape.lineTo(12, 3.5);
    shape.lineTo(14.5, 8.5);
    shape.lineTo(14.5, 13.5);
    shape.lineTo(1.5, 13.5);
    shape.closeSubpath();
    painter.drawPath(shape);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QPolygonF({QPointF(1.5, 8.5), QPointF(5.5, 8.5), QPointF(6.5, 10.5), QPointF(9.5, 10.5),
                                    QPointF(10.5, 8.5), QPointF(14.5, 8.5)}));
}

} // namespace

QIcon CategoryIcon()
{
    QIcon icon;
    AddPicture(icon, ClosedFolder, QIcon::Normal);
    AddPicture(icon, OpenFolder, QIcon::Selected);
    return icon;
}

QIcon UnclassifiedIcon()
{
    QIcon icon;
    AddPicture(icon, Tray, QIcon::Normal);
    AddPicture(icon, Tray, QIcon::Selected);
    return icon;
}

} // namespace velmora
