#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr int kStreamServerPort = 15654;

// The URL the player is given for an item: "http://localhost:15654/" followed by the
// local time as "yyyymmddhhss" (year, month, day, hour, seconds: no minutes) and the
// item's extension, e.g. ".MPEG". The server ignores the path; it only makes each
// opening a new URL.
std::string FormatStreamUrl(const std::tm& localTime, std::string_view extension,
                            int port = kStreamServerPort);

// The extension of a stored file name as the URL carries it: from the last "." on, in
// upper case; empty when there is none.
std::string StreamUrlExtension(std::string_view fileName);

} // namespace velmora
