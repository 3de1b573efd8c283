#include "store/MediaExtensions.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace velmora {

namespace {

constexpr std::array<std::string_view, 28> kMediaExtensions = {
    ".GIF", ".JPG", ".BMP", ".JPEG", ".WMF", ".WMV", ".WMA", ".ASF", ".MP3", ".MPG",
    ".MPEG", ".AVI", ".M1V", ".MP2", ".MPA", ".IFO", ".VOB", ".WAV", ".SND", ".AU",
    ".AIF", ".AIFC", ".AIFF", ".MID", ".RMI", ".MIDI", ".EMF", ".MPE"};

constexpr std::array<std::string_view, 5> kPictureExtensions = {".GIF", ".JPG", ".BMP", ".JPEG",
                                                                ".WMF"};

bool Contains(auto const& list, std::string_view value)
{
    return std::find(list.begin(), list.end(), value) != list.end();
}

} // namespace

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

bool IsSupportedMediaFile(std::string_view fileName)
{
    return Contains(kMediaExtensions, UpperExtension(fileName));
}

bool IsPictureFile(std::string_view fileName)
{
    return Contains(kPictureExtensions, UpperExtension(fileName));
}

} // namespace velmora
