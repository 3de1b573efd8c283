#pragma once

#include <QByteArray>
#include <QImage>

namespace velmora {

// Draws a Windows metafile into a picture of the metafile's own size (its frame at
// 96 dots per inch). libwmf turns the records into SVG, which Qt SVG renders; the
// drawing's bounding box fills the picture, as libwmf's own converters do. Raises
// std::runtime_error with a text the preview pane can show when the data is empty,
// damaged, or draws nothing.
QImage DecodeWmf(const QByteArray& bytes);

} // namespace velmora
