#include "store/Base64.h"
#include "store/CheckValue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velmora {
namespace {

using test::RunProgram;

TEST(CipherCommands, EncryptThenDecryptGivesThePlaintextWithItsZeroFill)
{
    // Over a megabyte and not a whole number of blocks: several pieces and a tail.
    const std::string plain = test::PatternBytes(3 * 1024 * 1024 + 13, 8);
    const auto encrypted = RunProgram("velmora-tool", {"encrypt", "tool key"}, {}, plain);
    ASSERT_EQ(encrypted.exitCode, 0) << encrypted.err;
    EXPECT_EQ(encrypted.out, EncryptToBytes("tool key", plain));
    const auto decrypted = RunProgram("velmora-tool", {"decrypt", "tool key"}, {}, encrypted.out);
    ASSERT_EQ(decrypted.exitCode, 0) << decrypted.err;
    EXPECT_EQ(decrypted.out, plain + std::string(3, '\0'));
}

TEST(CipherCommands, EncryptingNothingGivesNothingAndDecryptIgnoresAPartialBlock)
{
    const auto empty = RunProgram("velmora-tool", {"encrypt", "k"});
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "");
    const auto decrypted = RunProgram("velmora-tool", {"decrypt", "k"}, {}, EncryptToBytes("k", "8 bytes!") + "abc");
    EXPECT_EQ(decrypted.exitCode, 0);
    EXPECT_EQ(decrypted.out, "8 bytes!");
}

TEST(CipherCommands, Base64BothWays)
{
    const auto encoded = RunProgram("velmora-tool", {"base64-encode"}, {}, "foob");
    EXPECT_EQ(encoded.exitCode, 0);
    EXPECT_EQ(encoded.out, "Zm9vYg==\n");
    const auto empty = RunProgram("velmora-tool", {"base64-encode"});
    EXPECT_EQ(empty.out, "A===\n");
    const auto decoded = RunProgram("velmora-tool", {"base64-decode"}, {}, "Zm9vYg==\n");
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.out, "foob");
}

TEST(CipherCommands, BadBase64IsRefusedWithTheDecoderMessage)
{
    const auto result = RunProgram("velmora-tool", {"base64-decode"}, {}, "abc");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("Base64ToStr: illegal input length!"), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1);
}

TEST(CipherCommands, CheckValueIsTheStoredForm)
{
    const auto result = RunProgram("velmora-tool", {"check-value", "secret"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, CheckValueFor("secret") + "\n");
    EXPECT_TRUE(PassesCheckTest("secret", Base64ToStr(result.out.substr(0, 32))));
}

TEST(CipherCommands, WrongArgumentsExitWithTwo)
{
    const std::vector<std::vector<std::string>> calls = {
        {"encrypt"}, {"decrypt", "a", "b"}, {"check-value"}, {"base64-encode", "x"}};
    for (const auto& args : calls) {
        const auto result = RunProgram("velmora-tool", args);
        EXPECT_EQ(result.exitCode, 2) << args[0];
        EXPECT_NE(result.err.find("usage"), std::string::npos) << result.err;
    }
}

} // namespace
} // namespace velmora
