#include "store/Blowfish.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

std::string KeyBufferText(const TCryptography& cipher)
{
    return std::string(cipher.KeyBuffer().begin(), cipher.KeyBuffer().end());
}

bool SameTables(const TBlowfish& a, const TBlowfish& b)
{
    for (int i = 0; i < 4; ++i)
        if (a.SBox(i) != b.SBox(i))
            return false;
    return a.PArray() == b.PArray();
}

TEST(Cryptography, ShortKeysFoldToTheKeyRepeatedThroughTheBuffer)
{
    struct Case {
        std::string key;
        std::string buffer;
    };
    std::string cycled;
    while (cycled.size() < 72)
        cycled += "abc";
    const Case cases[] = {
        {"abc", cycled.substr(0, 72)},
        {"x", std::string(72, 'x')},
        {std::string(72, 'q'), std::string(72, 'q')},
        {std::string("0123456789012345678901234567890123456789012345678901234567890123456789AB"),
         std::string("0123456789012345678901234567890123456789012345678901234567890123456789AB")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeyBufferText(TBlowfish(c.key)), c.buffer) << "key " << c.key;
}

TEST(Cryptography, LongKeysFoldEveryCharacterIn)
{
    // 73 characters extend to 144: the second pass rotates and mixes the first.
    const std::string key = std::string(72, 'a') + "b";
    const std::string buffer = KeyBufferText(TBlowfish(key));
    EXPECT_NE(buffer, std::string(72, 'a'));
    EXPECT_NE(buffer, KeyBufferText(TBlowfish(std::string(72, 'a') + "c")));
    // Word 0 of the buffer: 'aaaa' folded with 'baaa' (the extension restarts at 'a').
    const std::uint32_t aaaa = 0x61616161u;
    const std::uint32_t baaa = 0x61616162u;   // bytes "baaa" little-endian
    const std::uint32_t expected = ((aaaa << (baaa % 32)) | (aaaa >> (32 - baaa % 32))) ^ baaa;
    const TBlowfish cipher(key);
    const auto& b = cipher.KeyBuffer();
    EXPECT_EQ(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24, expected);
}

TEST(Cryptography, SettingTheKeyAgainGivesTheTablesOfAFreshCipher)
{
    TBlowfish cipher("first key");
    cipher.SetKey("second key");
    EXPECT_EQ(cipher.CurrentKey(), "second key");
    EXPECT_TRUE(SameTables(cipher, TBlowfish("second key")));
    EXPECT_EQ(cipher.KeyBuffer(), TBlowfish("second key").KeyBuffer());

    cipher.SetKey("");
    EXPECT_EQ(cipher.CurrentKey(), "");
    EXPECT_TRUE(SameTables(cipher, TBlowfish("")));

    cipher.SetKey("second key");
    EXPECT_TRUE(SameTables(cipher, TBlowfish("second key")));
    cipher.SetKey("zerkat");
    EXPECT_TRUE(SameTables(cipher, TBlowfish("")));
}

TEST(Cryptography, SettingTheSameKeyKeepsTheTables)
{
    TBlowfish cipher("same");
    const auto p = cipher.PArray();
    cipher.SetKey("same");
    EXPECT_EQ(cipher.PArray(), p);
    EXPECT_EQ(cipher.CurrentKey(), "same");
}

} // namespace
} // namespace velmora
