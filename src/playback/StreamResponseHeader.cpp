#include "playback/StreamResponseHeader.h"

namespace velmora {

std::string FormatHeaderDate(const std::tm& localTime)
{
    // strftime takes the names from the locale the program runs in (LC_TIME).
    char text[128];
    const std::size_t n = std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S", &localTime);
    return std::string(text, n);
}

std::string HeaderDateNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatHeaderDate(local);
}

std::string FormatStreamHeader(const ByteRange& range, std::int64_t size, const std::string& date,
                               const std::string& lastModified)
{
    std::string statusLine = "HTTP/1.1 200 OK ";   // the blank before the line end is part of it
    std::string contentRange;
    std::int64_t length = size;
    switch (range.kind) {
    case ByteRange::Kind::Whole:
        break;
    case ByteRange::Kind::Partial:
        statusLine = "HTTP/1.1 206 Partial Content";
        contentRange = "Content-Range: bytes " + std::to_string(range.first) + "-" +
                       std::to_string(range.last) + "/" + std::to_string(size) + "\r\n";
        length = range.Length();
        break;
    case ByteRange::Kind::Unsatisfiable:
        statusLine = "HTTP/1.1 416 Range Not Satisfiable";
        contentRange = "Content-Range: bytes */" + std::to_string(size) + "\r\n";
        length = 0;
        break;
    }
    return statusLine + "\r\n" +
           "Date: " + date + "\r\n" +
           "Server: Tarnel Internal Server\r\n" +
           "Last-Modified: " + lastModified + "\r\n" +
           "ETag: \"230be-21b9dd4-3c59525e\"\r\n" +
           "Accept-Ranges: bytes\r\n" +
           contentRange +
           "Content-Length: " + std::to_string(length) + "\r\n" +
           "Keep-Alive: timeout=15, max=100\r\n" +
           "Connection: Keep-Alive\r\n";
}

} // namespace velmora
