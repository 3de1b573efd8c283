#pragma once

#include <QByteArray>
#include <QImage>

namespace velmora {

// Draws a Windows metafile into a picture of the metafile's own size (its frame at
// 96 dots per inch). libwmf turns the records into SVG, which Qt SVG renders, with
// the drawing placed inside the frame of a placeable metafile (one without a frame
// is drawn to its drawing's bounding box). Raises std::runtime_error with a text the
// preview pane can show when the data is empty, damaged, or draws nothing.
QImage DecodeWmf(const QByteArray& bytes);

} // namespace velmora
