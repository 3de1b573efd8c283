#include "store/MediaExtensions.h"

#include <array>
#include <cctype>

namespace velmora {

namespace {

using K = MediaKind;

constexpr std::array kMediaTypes = {
    MediaType{".GIF", K::Picture, "gif", true},
    MediaType{".JPG", K::Picture, "jpeg", true},
    MediaType{".BMP", K::Picture, "bmp", true},
    MediaType{".JPEG", K::Picture, "jpeg", true},
    MediaType{".WMF", K::Picture, "wmf", false},
    MediaType{".WMV", K::Movie, "", false},
    MediaType{".WMA", K::Sound, "", false},
    MediaType{".ASF", K::Movie, "", false},
    MediaType{".MP3", K::Sound, "", false},
    MediaType{".MPG", K::Movie, "", false},
    MediaType{".MPEG", K::Movie, "", false},
    MediaType{".AVI", K::Movie, "", false},
    MediaType{".M1V", K::Movie, "", false},
    MediaType{".MP2", K::Sound, "", false},
    // MPEG audio, but the item list has always shown it as a movie.
    MediaType{".MPA", K::Movie, "", false},
    MediaType{".IFO", K::Movie, "", false},
    MediaType{".VOB", K::Movie, "", false},
    MediaType{".WAV", K::Sound, "", false},
    MediaType{".SND", K::Sound, "", false},
    MediaType{".AU", K::Sound, "", false},
    MediaType{".AIF", K::Sound, "", false},
    MediaType{".AIFC", K::Sound, "", false},
    MediaType{".AIFF", K::Sound, "", false},
    MediaType{".MID", K::Sound, "", false},
    MediaType{".RMI", K::Sound, "", false},
    MediaType{".MIDI", K::Sound, "", false},
    MediaType{".EMF", K::Other, "", false},
    MediaType{".MPE", K::Movie, "", false},

    MediaType{".PNG", K::Picture, "png", true},
    MediaType{".WEBP", K::Picture, "webp", true},
    MediaType{".TIF", K::Picture, "tiff", true},
    MediaType{".TIFF", K::Picture, "tiff", true},
    MediaType{".HEIC", K::Picture, "heif", true},
    MediaType{".HEIF", K::Picture, "heif", true},
    MediaType{".FLAC", K::Sound, "", false},
    MediaType{".OGG", K::Sound, "", false},
    MediaType{".OGA", K::Sound, "", false},
    MediaType{".OPUS", K::Sound, "", false},
    MediaType{".M4A", K::Sound, "", false},
    MediaType{".AAC", K::Sound, "", false},
    MediaType{".MP4", K::Movie, "", false},
    MediaType{".M4V", K::Movie, "", false},
    MediaType{".MOV", K::Movie, "", false},
    MediaType{".MKV", K::Movie, "", false},
    MediaType{".WEBM", K::Movie, "", false},
    MediaType{".3GP", K::Movie, "", false},
    MediaType{".MTS", K::Movie, "", false},
    MediaType{".M2TS", K::Movie, "", false},
};

} // namespace

std::span<const MediaType> MediaTypes()
{
    return kMediaTypes;
}

std::string UpperExtension(std::string_view fileName)
{
    const auto slash = fileName.find_last_of('/');
    if (slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos)
        return {};
    std::string ext(fileName.substr(dot));
    for (auto& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

const MediaType* FindMediaType(std::string_view fileName)
{
    const std::string extension = UpperExtension(fileName);
    for (const MediaType& type : kMediaTypes)
        if (type.extension == extension)
            return &type;
    return nullptr;
}

bool IsSupportedMediaFile(std::string_view fileName)
{
    return FindMediaType(fileName) != nullptr;
}

bool IsPictureFile(std::string_view fileName)
{
    const MediaType* type = FindMediaType(fileName);
    return type && type->kind == MediaKind::Picture;
}

} // namespace velmora
