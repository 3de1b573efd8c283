#include "playback/PictureDecoder.h"

#include "playback/WmfDecoder.h"
#include "store/Stream.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <stdexcept>

namespace velmora {

namespace {

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

QByteArray ReadPictureBytes(Stream& picture)
{
    QByteArray bytes;
    const std::int64_t remaining = picture.Size() - picture.Position();
    if (remaining > 0)
        bytes.reserve(static_cast<qsizetype>(remaining));
    char buffer[64 * 1024];
    for (;;) {
        const std::int64_t got = picture.Read(buffer, sizeof buffer);
        if (got <= 0)
            break;
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
    return bytes;
}

bool IsPreviewablePicture(const std::string& extension)
{
    return extension == ".GIF" || extension == ".JPG" || extension == ".JPEG" || extension == ".BMP" ||
           extension == ".WMF";
}

QImage DecodePicture(const std::string& extension, Stream& picture)
{
    if (extension == ".GIF")
        return DecodeRaster(ReadPictureBytes(picture), "gif");
    if (extension == ".JPG" || extension == ".JPEG")
        return DecodeRaster(ReadPictureBytes(picture), "jpeg");
    if (extension == ".BMP")
        return DecodeRaster(ReadPictureBytes(picture), "bmp");
    if (extension == ".WMF")
        return DecodeWmf(ReadPictureBytes(picture));
    throw std::runtime_error("Unable to display pictures of type " + extension);
}

} // namespace velmora
