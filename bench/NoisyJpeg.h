#pragma once

// Photo-like test pictures for the benchmarks.
#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <algorithm>
#include <random>

namespace velmora::bench {

// A photo-like 4000 x 3000 JPEG: a colour gradient under strong grain, so the file
// stays large (several MB) instead of compressing to nothing.
inline QByteArray NoisyJpeg(unsigned seed)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> grain(-40, 40);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = grain(random);
            line[x] = qRgb(std::clamp(x * 255 / 4000 + n, 0, 255), std::clamp(y * 255 / 3000 + n, 0, 255),
                           std::clamp(128 + n, 0, 255));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

} // namespace velmora::bench
