#pragma once

#include <QPixmap>

#include <vector>

namespace velmora {

// The four pictures every thumbnail listing starts with, in image-list order: thumbnail
// not made yet, no thumbnail possible, movie, music (kThumbnailNotMade ...
// kMusicThumbnail). Each fills the 64 x 64 cell.
std::vector<QPixmap> StockImages();

} // namespace velmora
