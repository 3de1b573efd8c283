#include "app/SkinIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velmora {

namespace {

void DrawGlyph(QPainter& painter, SkinGlyph glyph, const QColor& color)
{
    QPen pen(color, 1.4);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (glyph) {
    case SkinGlyph::Logo: {
        // A closed padlock.
        painter.setPen(QPen(color, 1.6));
        QPainterPath shackle;
        shackle.moveTo(4.5, 7);
        shackle.cubicTo(4.5, 0.8, 11.5, 0.8, 11.5, 7);
        painter.drawPath(shackle);
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(QRectF(2, 6.5, 12, 8.5), 1.8, 1.8);
        painter.setBrush(QColor(0x1f, 0x3a, 0x5f));
        painter.drawEllipse(QPointF(8, 9.9), 1.4, 1.4);
        painter.drawRect(QRectF(7.4, 10.6, 1.2, 2.6));
        break;
    }
    case SkinGlyph::Minimize:
        painter.drawLine(QPointF(3.5, 11.5), QPointF(12.5, 11.5));
        break;
    case SkinGlyph::Maximize:
        painter.drawRect(QRectF(3.5, 3.5, 9, 9));
        break;
    case SkinGlyph::Restore:
        painter.drawRect(QRectF(3.5, 5.5, 7, 7));
        painter.drawPolyline(QPolygonF({QPointF(5.5, 5.5), QPointF(5.5, 3.5), QPointF(12.5, 3.5),
                                        QPointF(12.5, 10.5), QPointF(10.5, 10.5)}));
        break;
    case SkinGlyph::Close:
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case SkinGlyph::Thumbnails:
        for (const QPointF& corner : {QPointF(2.5, 2.5), QPointF(9.5, 2.5), QPointF(2.5, 9.5), QPointF(9.5, 9.5)})
            painter.drawRect(QRectF(corner, QSizeF(4, 4)));
        break;
    case SkinGlyph::Details:
        for (const qreal y : {3.5, 8.0, 12.5}) {
            painter.drawPoint(QPointF(2.5, y));
            painter.drawLine(QPointF(5.5, y), QPointF(13.5, y));
        }
        break;
    case SkinGlyph::Paste:
        painter.drawRoundedRect(QRectF(3, 3, 10, 11.5), 1.2, 1.2);
        painter.setBrush(color);
        painter.drawRect(QRectF(5.5, 1.8, 5, 2.4));
        painter.setBrush(Qt::NoBrush);
        painter.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
        painter.drawLine(QPointF(5.5, 11), QPointF(9, 11));
        break;
    case SkinGlyph::AddFiles:
        painter.drawPolyline(QPolygonF({QPointF(9, 14.5), QPointF(3, 14.5), QPointF(3, 1.5), QPointF(9, 1.5),
                                        QPointF(12, 4.5), QPointF(12, 8)}));
        painter.drawLine(QPointF(12.5, 10), QPointF(12.5, 15));
        painter.drawLine(QPointF(10, 12.5), QPointF(15, 12.5));
        break;
    case SkinGlyph::Import:
        painter.drawPolyline(QPolygonF({QPointF(2, 10), QPointF(2, 14), QPointF(14, 14), QPointF(14, 10)}));
        painter.drawLine(QPointF(8, 1.5), QPointF(8, 10.5));
        painter.drawPolyline(QPolygonF({QPointF(4.5, 7.5), QPointF(8, 11), QPointF(11.5, 7.5)}));
        break;
    case SkinGlyph::SaveToDisk:
        painter.drawPolygon(QPolygonF({QPointF(2.5, 2.5), QPointF(11.5, 2.5), QPointF(13.5, 4.5),
                                       QPointF(13.5, 13.5), QPointF(2.5, 13.5)}));
        painter.drawRect(QRectF(5, 2.5, 5, 3.5));
        painter.drawRect(QRectF(4.5, 9, 7, 4.5));
        break;
    }
}

QPixmap GlyphPixmap(SkinGlyph glyph, const QColor& color, int scale)
{
    QPixmap pixmap(16 * scale, 16 * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    DrawGlyph(painter, glyph, color);
    painter.end();
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

} // namespace

QIcon SkinIcon(SkinGlyph glyph, const QColor& color)
{
    QColor disabled = color;
    disabled.setAlphaF(0.35);
    QIcon icon;
    for (const int scale : {1, 2, 3}) {
        icon.addPixmap(GlyphPixmap(glyph, color, scale), QIcon::Normal);
        icon.addPixmap(GlyphPixmap(glyph, disabled, scale), QIcon::Disabled);
    }
    return icon;
}

} // namespace velmora
