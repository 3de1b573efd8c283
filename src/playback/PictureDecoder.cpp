#include "playback/PictureDecoder.h"

#include "playback/HeifDecoder.h"
#include "playback/WmfDecoder.h"
#include "store/MediaExtensions.h"
#include "store/Stream.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include <stdexcept>
#include <string_view>

namespace velmora {

namespace {

std::string_view DecoderOf(const std::string& extension)
{
    const MediaType* type = FindMediaType(extension);
    return type && type->kind == MediaKind::Picture ? type->decoder : std::string_view();
}

QImage DecodeRaster(const QByteArray& bytes, const char* format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // A phone's portrait photo is stored sideways with a tag that says so.
    reader.setAutoTransform(true);
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
    return !DecoderOf(extension).empty();
}

QImage DecodePicture(const std::string& extension, Stream& picture)
{
    if (DecoderOf(extension).empty())
        throw std::runtime_error("Unable to display pictures of type " + extension);
    return DecodePictureBytes(extension, ReadPictureBytes(picture));
}

QImage DecodePictureBytes(const std::string& extension, const QByteArray& bytes)
{
    const std::string_view decoder = DecoderOf(extension);
    if (decoder.empty())
        throw std::runtime_error("Unable to display pictures of type " + extension);
    if (decoder == "wmf")
        return DecodeWmf(bytes);
    if (decoder == "heif")
        return DecodeHeif(bytes);
    return DecodeRaster(bytes, std::string(decoder).c_str());
}

QSize PictureSize(const std::string& extension, const QByteArray& bytes)
{
    const std::string_view decoder = DecoderOf(extension);
    if (decoder.empty() || decoder == "wmf")
        return QSize();
    if (decoder == "heif")
        return HeifSize(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, std::string(decoder).c_str());
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (size.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
        size.transpose();
    return size;
}

} // namespace velmora
