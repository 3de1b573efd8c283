#include "catalogue/ItemKind.h"

#include "store/MediaExtensions.h"

namespace velmora {

ItemKind ItemKindOf(std::string_view fileName)
{
    const MediaType* type = FindMediaType(fileName);
    if (!type)
        return ItemKind::Unknown;
    switch (type->kind) {
    case MediaKind::Picture:
        return ItemKind::Image;
    case MediaKind::Movie:
        return ItemKind::Video;
    case MediaKind::Sound:
        return ItemKind::Audio;
    case MediaKind::Other:
        break;
    }
    return ItemKind::Unknown;
}

const char* ItemKindText(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Image:
        return "Image";
    case ItemKind::Video:
        return "Video";
    case ItemKind::Audio:
        return "Audio";
    case ItemKind::Unknown:
        break;
    }
    return "Unknown";
}

int StockThumbnailIndex(ItemKind kind)
{
    switch (kind) {
    case ItemKind::Video:
        return kMovieThumbnail;
    case ItemKind::Audio:
        return kMusicThumbnail;
    case ItemKind::Image:
    case ItemKind::Unknown:
        break;
    }
    return kNoThumbnail;
}

} // namespace velmora
