#include "app/ThumbnailImage.h"

#include "catalogue/Thumbnails.h"
#include "playback/PictureDecoder.h"
#include "store/Stream.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <stdexcept>

namespace velmora {

namespace {

QRect TargetRect(const QSize& picture)
{
    const ThumbnailRect fit = FitThumbnail(picture.width(), picture.height());
    return QRect(QPoint(fit.left, fit.top), QPoint(fit.right - 1, fit.bottom - 1));
}

// A 4000 x 3000 JPEG decoded in full costs a 48 MB bitmap and most of a second; asked
// for 64 pixels, the decoder skips most of the transform and the thumbnail costs a
// small fraction of that.
QImage DecodeJpegAtCellSize(const QByteArray& bytes, QRect& target)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    QSize full = reader.size();
    if (!full.isValid() || full.isEmpty())
        throw std::runtime_error("Unable to display the picture: " + reader.errorString().toStdString());
    // The scaled size is the stored picture's; the orientation tag turns it afterwards.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (turned)
        full.transpose();
    target = TargetRect(full);
    QSize scaled(std::max(1, target.width()), std::max(1, target.height()));
    if (turned)
        scaled.transpose();
    reader.setScaledSize(scaled);
    QImage image = reader.read();
    if (image.isNull())
        throw std::runtime_error("Unable to display the picture: " + reader.errorString().toStdString());
    return image;
}

} // namespace

QImage MakeThumbnailImage(const std::string& extension, Stream& picture)
{
    QImage decoded;
    QRect target;
    if (extension == ".JPG" || extension == ".JPEG") {
        decoded = DecodeJpegAtCellSize(ReadPictureBytes(picture), target);
    } else {
        decoded = DecodePicture(extension, picture);
        if (decoded.isNull())
            throw std::runtime_error("Unable to display the picture");
        target = TargetRect(decoded.size());
    }
    QImage cell(kThumbnailCellSize, kThumbnailCellSize, QImage::Format_ARGB32_Premultiplied);
    cell.fill(Qt::transparent);
    if (!target.isEmpty()) {
        QPainter painter(&cell);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, decoded);
    }
    return cell;
}

} // namespace velmora
