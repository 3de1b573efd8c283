#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr int kStreamServerPort = 15654;

// The URL the player is given for an item: "http://localhost:15654/", the stream
// server's token and "/", then the local time as "yyyymmddhhss" (year, month, day,
// hour, seconds: no minutes) and the item's extension, e.g. ".MPEG". The server admits
// only requests that carry its token; the rest of the path only makes each opening a
// new URL. TVideoStreamServ::ItemUrl builds it for a running server.
std::string FormatStreamUrl(const std::tm& localTime, std::string_view extension, std::string_view token,
                            int port = kStreamServerPort);

// The extension of a stored file name as the URL carries it: from the last "." on, in
// upper case; empty when there is none.
std::string StreamUrlExtension(std::string_view fileName);

} // namespace velmora
