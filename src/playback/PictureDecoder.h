#pragma once

#include <QByteArray>
#include <QImage>

#include <string>

namespace velmora {

class Stream;

// The pictures the library previews and shows as thumbnails, by upper-case extension
// with its dot: ".GIF", ".JPG", ".JPEG", ".BMP", ".WMF".
bool IsPreviewablePicture(const std::string& extension);

// The bytes from the stream's position to its end, which the decoders take whole.
QByteArray ReadPictureBytes(Stream& picture);

// Decodes the picture from the stream's position to its end. Raises
// std::runtime_error, with a text the preview pane can show, when the picture cannot
// be decoded (unknown extension, damaged or empty data).
QImage DecodePicture(const std::string& extension, Stream& picture);

} // namespace velmora
