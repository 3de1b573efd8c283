#include "playback/StreamUrl.h"

#include <cctype>
#include <cstdio>

namespace velmora {

std::string FormatStreamUrl(const std::tm& localTime, std::string_view extension, std::string_view token, int port)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d", localTime.tm_year + 1900,
                  localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_sec);
    return "http://localhost:" + std::to_string(port) + "/" + std::string(token) + "/" + stamp +
           std::string(extension);
}

std::string StreamUrlExtension(std::string_view fileName)
{
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    std::string extension(fileName.substr(dot));
    for (auto& c : extension)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension;
}

} // namespace velmora
