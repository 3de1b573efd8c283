#include "ScreenPixels.h"

#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace velmora::test {

QImage ScreenShot(const QWidget* widget)
{
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    return widget->screen()
        ->grabWindow(0, origin.x(), origin.y(), widget->width(), widget->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

double LitShare(const QWidget* widget)
{
    const QImage image = ScreenShot(widget);
    if (image.isNull())
        return 0;
    qint64 lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            lit += std::max({qRed(line[x]), qGreen(line[x]), qBlue(line[x])}) > 40 ? 1 : 0;
    }
    return double(lit) / (double(image.width()) * image.height());
}

} // namespace velmora::test
