#include "store/MemoryStream.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(MemoryStream, ReadsWritesAndSeeks)
{
    MemoryStream stream;
    stream.WriteBuffer("hello world", 11);
    EXPECT_EQ(stream.Size(), 11);
    EXPECT_EQ(stream.Position(), 11);
    EXPECT_EQ(stream.Seek(-5, SeekOrigin::End), 6);
    char word[8] = {};
    EXPECT_EQ(stream.Read(word, 8), 5);
    EXPECT_EQ(std::string(word, 5), "world");
    EXPECT_EQ(stream.Read(word, 8), 0);
    EXPECT_EQ(stream.Seek(-11, SeekOrigin::Current), 0);
    stream.WriteBuffer("J", 1);
    EXPECT_EQ(stream.Bytes(), "Jello world");
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros)
{
    MemoryStream stream(std::string("ab"));
    stream.Seek(5, SeekOrigin::Beginning);
    char byte = 0;
    EXPECT_EQ(stream.Read(&byte, 1), 0);
    stream.WriteBuffer("z", 1);
    EXPECT_EQ(stream.Bytes(), std::string("ab\0\0\0z", 6));
}

TEST(MemoryStream, RefusesPositionsBeforeTheStartAndUnknownOrigins)
{
    MemoryStream stream(std::string("abc"));
    EXPECT_THROW(stream.Seek(-1, SeekOrigin::Beginning), StreamError);
    EXPECT_THROW(stream.Seek(-4, SeekOrigin::End), StreamError);
    EXPECT_EQ(stream.Position(), 0);
    try {
        stream.Seek(0, static_cast<SeekOrigin>(9));
        ADD_FAILURE() << "no error";
    } catch (const StreamError& e) {
        EXPECT_STREQ(e.what(), "Invalid seek origin");
    }
}

TEST(MemoryStream, SetSizeTruncatesAndExtends)
{
    MemoryStream stream(std::string("abcdef"));
    stream.Seek(0, SeekOrigin::End);
    stream.SetSize(2);
    EXPECT_EQ(stream.Bytes(), "ab");
    EXPECT_EQ(stream.Position(), 2);
    stream.SetSize(4);
    EXPECT_EQ(stream.Bytes(), std::string("ab\0\0", 4));
    EXPECT_EQ(stream.TakeBytes(), std::string("ab\0\0", 4));
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(stream.Position(), 0);
}

} // namespace
} // namespace velmora
