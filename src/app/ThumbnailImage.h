#pragma once

#include <QImage>

#include <string>

namespace velmora {

class Stream;

// AddThumbnail's picture: the picture (by upper-case extension) drawn stretched into
// the place FitThumbnail gives it in a transparent 64 x 64 cell. JPEGs are decoded
// straight at the size they are drawn at (the decoder scales while it decodes), the
// others in full and then reduced. Raises std::runtime_error when the picture cannot
// be decoded.
QImage MakeThumbnailImage(const std::string& extension, Stream& picture);

} // namespace velmora
