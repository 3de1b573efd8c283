#pragma once

#include "playback/ByteRange.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace velmora {

// A date as the stream server's header gives it: "ddd, dd mmm yyyy hh:nn:ss" in local
// time with the day and month names of the user's locale, no time zone.
std::string FormatHeaderDate(const std::tm& localTime);
// The current local time in that form.
std::string HeaderDateNow();

// The stream server's response header for an item of size bytes, every line ended by
// CR LF; sending it with Writeln adds the empty line that ends it. Without a range it
// is the fixed "200 OK " header; a partial range answers "206 Partial Content" with a
// Content-Range line, an unsatisfiable one "416 Range Not Satisfiable" with no body.
std::string FormatStreamHeader(const ByteRange& range, std::int64_t size, const std::string& date,
                               const std::string& lastModified);

// The answer to a request the server does not serve (no token, a foreign Host), every
// line ended by CR LF; Writeln adds the empty line. The connection closes after it.
inline constexpr const char* kForbiddenHeader = "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n";

} // namespace velmora
