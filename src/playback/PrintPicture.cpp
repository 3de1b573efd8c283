#include "playback/PrintPicture.h"

#include "playback/PictureDecoder.h"
#include "store/MediaExtensions.h"

#include <QBuffer>
#include <QImageReader>

#include <stdexcept>

namespace velmora {

namespace {

bool StoredTurned(const QByteArray& bytes, const char* format)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoTransform(true);
    return reader.canRead() && reader.transformation() != QImageIOHandler::TransformationNone;
}

} // namespace

std::optional<PrintCopy> UprightPrintCopy(const std::string& extension, const std::string& bytes)
{
    const MediaType* type = FindMediaType(extension);
    if (!type || type->kind != MediaKind::Picture)
        return std::nullopt;
    const std::string decoder(type->decoder);
    const QByteArray data = QByteArray::fromStdString(bytes);
    const bool unreadable = decoder == "heif" || decoder == "webp";
    if (!unreadable && !((decoder == "jpeg" || decoder == "tiff") && StoredTurned(data, decoder.c_str())))
        return std::nullopt;
    try {
        const QImage upright = DecodePictureBytes(extension, data);
        QByteArray png;
        QBuffer out(&png);
        out.open(QIODevice::WriteOnly);
        if (!upright.save(&out, "PNG"))
            return std::nullopt;
        return PrintCopy{".PNG", png.toStdString()};
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

} // namespace velmora
