#include "store/CheckValue.h"

#include "store/Base64.h"
#include "store/Blowfish.h"

#include "ReferenceCipher.h"

#include <gtest/gtest.h>

#include <string>

namespace velmora {
namespace {

TEST(CheckValue, IsThirtyTwoBase64CharactersOfTheEncryptedCheckText)
{
    for (const std::string key : {"secret", "", "zerkat", "a much longer password than seventy-two characters, so that it folds!"}) {
        const std::string value = CheckValueFor(key);
        EXPECT_EQ(value.size(), 32u) << key;
        EXPECT_EQ(value.find('='), std::string::npos) << key;
        EXPECT_EQ(Base64ToStr(value), test::ReferenceBlowfish(key).Encrypt(kCheckText)) << key;
    }
    // Pinned: computed by an independent rendering of the cipher (see BlowfishTest).
    EXPECT_EQ(CheckValueFor("secret"), "AvoXdNYHIFM36emPeuv9f8oLuQXUW3KM");
    EXPECT_EQ(CheckValueFor(TBlowfish("secret")), CheckValueFor("secret"));
}

TEST(CheckValue, OnlyTheRightPasswordPasses)
{
    const std::string stored = Base64ToStr(CheckValueFor("right"));
    EXPECT_TRUE(PassesCheckTest("right", stored));
    EXPECT_TRUE(PassesCheckTest(TBlowfish("right"), stored));
    for (const std::string wrong : {"Right", "right ", "wrong", "", "zerkat"})
        EXPECT_FALSE(PassesCheckTest(wrong, stored)) << "'" << wrong << "'";
}

TEST(CheckValue, ComparesAfterTrimmingBlanksButKeepsLetterCase)
{
    struct Case {
        std::string plain;
        bool passes;
    };
    const Case cases[] = {
        {std::string("PROPER CIPHER UNLOCKED\0\0", 24), true},
        {"  PROPER CIPHER UNLOCKED\t\r\n", true},
        {std::string("\x01PROPER CIPHER UNLOCKED \x1f", 25), true},
        {"proper cipher unlocked", false},
        {"PROPER  CIPHER UNLOCKED", false},
        {"PROPER CIPHER UNLOCKED!", false},
        {"\x80PROPER CIPHER UNLOCKED", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PassesCheckTest("key", EncryptToBytes("key", c.plain)), c.passes) << c.plain;
}

TEST(CheckValue, RawCipherBytesAndBase64TextAreDifferentInputs)
{
    const std::string value = CheckValueFor("key");
    EXPECT_TRUE(PassesCheckTest("key", Base64ToStr(value)));
    // The Base64 text itself decrypts to garbage.
    EXPECT_FALSE(PassesCheckTest("key", value));
}

TEST(CheckValue, EncryptAndDecryptBytesRoundTrip)
{
    EXPECT_EQ(EncryptToBytes("k", ""), "");
    EXPECT_EQ(StrToBase64(EncryptToBytes("database password", "")), "A===");
    const std::string plain = "twenty-one characters";
    const std::string cipherBytes = EncryptToBytes("k", plain);
    EXPECT_EQ(cipherBytes.size(), 24u);
    EXPECT_EQ(DecryptBytes("k", cipherBytes), plain + std::string(3, '\0'));
    EXPECT_EQ(DecryptBytes("k", cipherBytes + "xy"), plain + std::string(3, '\0'));
    EXPECT_EQ(TrimBlanks(DecryptBytes("k", cipherBytes)), plain);
}

} // namespace
} // namespace velmora
