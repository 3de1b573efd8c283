#include "catalogue/ItemKind.h"

#include "store/MediaExtensions.h"

#include <algorithm>
#include <array>
#include <string>

namespace velmora {

namespace {

constexpr std::array<std::string_view, 5> kImageExtensions = {".GIF", ".JPG", ".BMP", ".JPEG", ".WMF"};
constexpr std::array<std::string_view, 10> kVideoExtensions = {".WMV", ".MPEG", ".AVI", ".MPG", ".M1V",
                                                               ".MPE", ".ASF", ".IFO", ".VOB", ".MPA"};
constexpr std::array<std::string_view, 12> kAudioExtensions = {".WMA", ".MP3", ".MP2", ".AIF",
                                                               ".AIFC", ".AIFF", ".MID", ".WAV",
                                                               ".SND", ".AU", ".MIDI", ".RMI"};

bool Contains(const auto& list, std::string_view value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

ItemKind ItemKindOf(std::string_view fileName)
{
    const std::string extension = UpperExtension(fileName);
    if (Contains(kImageExtensions, extension))
        return ItemKind::Image;
    if (Contains(kVideoExtensions, extension))
        return ItemKind::Video;
    if (Contains(kAudioExtensions, extension))
        return ItemKind::Audio;
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
