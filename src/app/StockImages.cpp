#include "app/StockImages.h"

#include "catalogue/ItemKind.h"
#include "catalogue/Thumbnails.h"

#include <QPainter>
#include <QPainterPath>

namespace velmora {

namespace {

constexpr int kCell = kThumbnailCellSize;

// A sheet of paper with a folded corner, the common ground of the four pictures.
void DrawSheet(QPainter& painter, const QColor& paper)
{
    QPainterPath sheet;
    sheet.moveTo(12, 4);
    sheet.lineTo(42, 4);
    sheet.lineTo(54, 16);
    sheet.lineTo(54, 60);
    sheet.lineTo(12, 60);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(90, 90, 100), 1.5));
    painter.setBrush(paper);
    painter.drawPath(sheet);
    QPainterPath fold;
    fold.moveTo(42, 4);
    fold.lineTo(42, 16);
    fold.lineTo(54, 16);
    painter.setBrush(paper.darker(115));
    painter.drawPath(fold);
}

// Not made yet: a small landscape behind an hourglass.
void DrawPending(QPainter& painter)
{
    DrawSheet(painter, QColor(245, 245, 240));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(170, 200, 230));
    painter.drawRect(17, 20, 32, 22);
    painter.setBrush(QColor(110, 160, 90));
    QPolygonF hills;
    hills << QPointF(17, 42) << QPointF(27, 30) << QPointF(35, 37) << QPointF(41, 32) << QPointF(49, 42);
    painter.drawPolygon(hills);
    painter.setPen(QPen(QColor(60, 60, 70), 1.5));
    painter.setBrush(QColor(240, 220, 150));
    QPolygonF glass;
    glass << QPointF(26, 45) << QPointF(40, 45) << QPointF(33, 51) << QPointF(40, 57) << QPointF(26, 57)
          << QPointF(33, 51);
    painter.drawPolygon(glass);
}

// No thumbnail possible: the sheet with a question mark.
void DrawNone(QPainter& painter)
{
    DrawSheet(painter, QColor(235, 235, 235));
    QFont font = painter.font();
    font.setPixelSize(30);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(120, 120, 130));
    painter.drawText(QRect(12, 16, 42, 42), Qt::AlignCenter, QStringLiteral("?"));
}

// Movie: a strip of film.
void DrawMovie(QPainter& painter)
{
    painter.setPen(QPen(QColor(30, 30, 35), 1.5));
    painter.setBrush(QColor(45, 45, 55));
    painter.drawRoundedRect(QRectF(6, 12, 52, 40), 3, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 230, 230));
    for (int x = 9; x < 56; x += 8) {
        painter.drawRect(x, 15, 4, 4);
        painter.drawRect(x, 45, 4, 4);
    }
    painter.setBrush(QColor(120, 170, 220));
    painter.drawRect(10, 22, 20, 20);
    painter.drawRect(34, 22, 20, 20);
}

// Music: a pair of beamed notes.
void DrawMusic(QPainter& painter)
{
    DrawSheet(painter, QColor(245, 240, 250));
    painter.setPen(QPen(QColor(60, 40, 110), 3));
    painter.drawLine(QPointF(28, 22), QPointF(28, 48));
    painter.drawLine(QPointF(44, 18), QPointF(44, 44));
    painter.setPen(QPen(QColor(60, 40, 110), 5));
    painter.drawLine(QPointF(28, 22), QPointF(44, 18));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 40, 110));
    painter.drawEllipse(QPointF(24, 49), 5, 4);
    painter.drawEllipse(QPointF(40, 45), 5, 4);
}

QPixmap Draw(void (*artwork)(QPainter&))
{
    QPixmap pixmap(kCell, kCell);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    artwork(painter);
    return pixmap;
}

} // namespace

std::vector<QPixmap> StockImages()
{
    std::vector<QPixmap> images(4);
    images[kThumbnailNotMade] = Draw(DrawPending);
    images[kNoThumbnail] = Draw(DrawNone);
    images[kMovieThumbnail] = Draw(DrawMovie);
    images[kMusicThumbnail] = Draw(DrawMusic);
    return images;
}

} // namespace velmora
