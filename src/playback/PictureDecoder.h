#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <string>

namespace velmora {

class Stream;

// The pictures the library previews and shows as thumbnails, by upper-case extension
// with its dot: the pictures of the table of media kinds.
bool IsPreviewablePicture(const std::string& extension);

// The bytes from the stream's position to its end, which the decoders take whole.
QByteArray ReadPictureBytes(Stream& picture);

// Decodes the picture from the stream's position to its end, the way up it was taken
// (a camera's orientation tag applied). Raises std::runtime_error, with a text the
// preview pane can show, when the picture cannot be decoded (unknown extension,
// damaged or empty data).
QImage DecodePicture(const std::string& extension, Stream& picture);
QImage DecodePictureBytes(const std::string& extension, const QByteArray& bytes);

// The size of the picture as shown (after its orientation), read from its header where
// the format allows; invalid when it cannot be told without decoding.
QSize PictureSize(const std::string& extension, const QByteArray& bytes);

} // namespace velmora
