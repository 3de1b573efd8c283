#include "playback/StreamResponseHeader.h"
#include "playback/StreamUrl.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

// 2 January 2005, 09:05:07, a Sunday.
std::tm SampleTime()
{
    std::tm t{};
    t.tm_year = 105;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    t.tm_wday = 0;
    return t;
}

TEST(StreamResponseHeader, DateHasTheFixedFormWithoutTimeZone)
{
    EXPECT_EQ(FormatHeaderDate(SampleTime()), "Sun, 02 Jan 2005 09:05:07");
}

TEST(StreamResponseHeader, WholeItemHeaderIsByteForByteTheFixedOne)
{
    EXPECT_EQ(FormatStreamHeader(ByteRange::Parse(std::nullopt, 1234567), 1234567, "D1", "D2"),
              "HTTP/1.1 200 OK \r\n"
              "Date: D1\r\n"
              "Server: Tarnel Internal Server\r\n"
              "Last-Modified: D2\r\n"
              "ETag: \"230be-21b9dd4-3c59525e\"\r\n"
              "Accept-Ranges: bytes\r\n"
              "Content-Length: 1234567\r\n"
              "Keep-Alive: timeout=15, max=100\r\n"
              "Connection: Keep-Alive\r\n");
}

TEST(StreamResponseHeader, PartialAndUnsatisfiableRangesSayWhatIsSent)
{
    EXPECT_EQ(FormatStreamHeader(ByteRange::Parse("bytes=750000-", 1234567), 1234567, "D1", "D2"),
              "HTTP/1.1 206 Partial Content\r\n"
              "Date: D1\r\n"
              "Server: Tarnel Internal Server\r\n"
              "Last-Modified: D2\r\n"
              "ETag: \"230be-21b9dd4-3c59525e\"\r\n"
              "Accept-Ranges: bytes\r\n"
              "Content-Range: bytes 750000-1234566/1234567\r\n"
              "Content-Length: 484567\r\n"
              "Keep-Alive: timeout=15, max=100\r\n"
              "Connection: Keep-Alive\r\n");
    EXPECT_EQ(FormatStreamHeader(ByteRange::Parse("bytes=2000-", 1000), 1000, "D1", "D2"),
              "HTTP/1.1 416 Range Not Satisfiable\r\n"
              "Date: D1\r\n"
              "Server: Tarnel Internal Server\r\n"
              "Last-Modified: D2\r\n"
              "ETag: \"230be-21b9dd4-3c59525e\"\r\n"
              "Accept-Ranges: bytes\r\n"
              "Content-Range: bytes */1000\r\n"
              "Content-Length: 0\r\n"
              "Keep-Alive: timeout=15, max=100\r\n"
              "Connection: Keep-Alive\r\n");
}

TEST(StreamUrl, HasTheTokenThenTheTimeWithoutMinutesAndTheUpperCaseExtension)
{
    EXPECT_EQ(FormatStreamUrl(SampleTime(), StreamUrlExtension("clip.mpeg"), "0a1b"),
              "http://localhost:15654/0a1b/200501020907.MPEG");
    EXPECT_EQ(StreamUrlExtension("song.final.Mp3"), ".MP3");
    EXPECT_EQ(StreamUrlExtension("noextension"), "");
    EXPECT_EQ(FormatStreamUrl(SampleTime(), "", "t", 8080), "http://localhost:8080/t/200501020907");
}

} // namespace
} // namespace velmora::test
