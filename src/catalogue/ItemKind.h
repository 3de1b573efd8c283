#pragma once

#include <string_view>

namespace velmora {

// How the item list classifies an item, by the upper-cased extension of its file name.
enum class ItemKind { Image, Video, Audio, Unknown };

ItemKind ItemKindOf(std::string_view fileName);
// "Image", "Video", "Audio" or "Unknown": the "File Type" column.
const char* ItemKindText(ItemKind kind);

// Stock positions of the thumbnail image list; made thumbnails follow them.
inline constexpr int kThumbnailNotMade = 0;
inline constexpr int kNoThumbnail = 1;
inline constexpr int kMovieThumbnail = 2;
inline constexpr int kMusicThumbnail = 3;

// The stock image of an item that gets no thumbnail of its own: movie, music, or none
// possible (unknown kinds). Pictures have their thumbnail made instead.
int StockThumbnailIndex(ItemKind kind);

} // namespace velmora
