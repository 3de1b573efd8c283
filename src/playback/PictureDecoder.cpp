#include "playback/PictureDecoder.h"

#include "playback/WmfDecoder.h"
#include "store/Stream.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <stdexcept>

namespace velmora {

namespace {

QByteArray ReadRest(Stream& picture)
{
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const std::int64_t got = picture.Read(buffer, sizeof buffer);
        if (got <= 0)
            break;
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
    return bytes;
}

QImage DecodeRaster(const QByteArray& bytes, const char* format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    QImage image = reader.read();
    if (image.isNull())
        throw std::runtime_error("Unable to display the picture: " + reader.errorString().toStdString());
    return image;
}

} // namespace

bool IsPreviewablePicture(const std::string& extension)
{
    return extension == ".GIF" || extension == ".JPG" || extension == ".JPEG" || extension == ".BMP" ||
           extension == ".WMF";
}

QImage DecodePicture(const std::string& extension, Stream& picture)
{
    if (extension == ".GIF")
        return DecodeRaster(ReadRest(picture), "gif");
    if (extension == ".JPG" || extension == ".JPEG")
        return DecodeRaster(ReadRest(picture), "jpeg");
    if (extension == ".BMP")
        return DecodeRaster(ReadRest(picture), "bmp");
    if (extension == ".WMF")
        return DecodeWmf(ReadRest(picture));
    throw std::runtime_error("Unable to display pictures of type " + extension);
}

} // namespace velmora
