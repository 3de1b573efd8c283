#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace velmora {

// HEIC and HEIF pictures (a phone camera's) through libheif. The picture's rotation
// and mirroring are applied, so it comes out the way up it was taken: the file's own
// ("irot", "imir") where it has them, else its Exif orientation tag.

// Decodes the primary picture. Raises std::runtime_error with libheif's reason.
QImage DecodeHeif(const QByteArray& bytes);
// The primary picture's size in pixels, read from its header without decoding it;
// invalid when the data is not a HEIF picture.
QSize HeifSize(const QByteArray& bytes);

} // namespace velmora
