#pragma once

// How much of a picture (a screenshot, a widget's rendering) is of one colour.
#include <QColor>
#include <QImage>

#include <cstdlib>

namespace velmora::test {

// The share (0..1) of the image's pixels within `tolerance` of colour on every channel.
inline double ColourShare(const QImage& image, QColor colour, int tolerance = 8)
{
    if (image.isNull())
        return 0;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    qint64 matching = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            matching += std::abs(qRed(line[x]) - colour.red()) <= tolerance &&
                                std::abs(qGreen(line[x]) - colour.green()) <= tolerance &&
                                std::abs(qBlue(line[x]) - colour.blue()) <= tolerance
                            ? 1
                            : 0;
    }
    return double(matching) / (double(rgb.width()) * rgb.height());
}

} // namespace velmora::test
