#include "store/Base64.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(Base64, EncodesAndDecodesKnownValues)
{
    struct Case {
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"", "A==="},
        {std::string(1, '\0'), "AA=="},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xff\xfe\xfd", "//79"},
        {std::string("\0\0\0", 3), "AAAA"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrToBase64(c.bytes), c.text);
        EXPECT_EQ(Base64ToStr(c.text), c.bytes) << c.text;
    }
}

TEST(Base64, RoundTripsAnyBytes)
{
    for (std::size_t length = 0; length < 70; ++length) {
        const std::string bytes = test::PatternBytes(length, static_cast<unsigned>(length));
        const std::string text = StrToBase64(bytes);
        EXPECT_EQ(text.size() % 4, 0u);
        EXPECT_EQ(Base64ToStr(text), bytes) << length;
    }
}

TEST(Base64, RefusesTextOfAWrongLength)
{
    for (const std::string text : {"", "A", "abc", "AAAAA", "AAAAAA=", "Zm9vYg="}) {
        try {
            Base64ToStr(text);
            ADD_FAILURE() << "'" << text << "' was accepted";
        } catch (const Base64Error& e) {
            EXPECT_STREQ(e.what(), "Base64ToStr: illegal input length!");
        }
    }
}

TEST(Base64, ReadsStrayCharactersAsSixtyOne)
{
    // 61 is '9' in the alphabet; "=" inside the text is no exception.
    struct Case {
        std::string stray;
        std::string same;
    };
    const Case cases[] = {{"*AAA", "9AAA"}, {"A=AA", "A9AA"}, {"AA\nA", "AA9A"}, {"AA\xc3\xa4", "AA99"}};
    for (const auto& c : cases)
        EXPECT_EQ(Base64ToStr(c.stray), Base64ToStr(c.same)) << c.stray;
}

TEST(Base64, EveryTrailingCompletionRemovesAByte)
{
    EXPECT_EQ(Base64ToStr("AAAA===="), std::string(2, '\0'));
    // More completion than bytes leaves nothing rather than failing.
    EXPECT_EQ(Base64ToStr("===="), "");
}

} // namespace
} // namespace velmora
