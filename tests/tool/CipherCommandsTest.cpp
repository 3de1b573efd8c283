#include "store/Base64.h"
#include "store/CheckValue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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

TEST(CipherCommands, KeyLeftOutIsTakenFromTheEnvironment)
{
    const std::map<std::string, std::string> env{{"VELMORA_KEY", "env key"}};
    const std::string plain = "twelve bytes";
    const auto encrypted = RunProgram("velmora-tool", {"encrypt"}, env, plain);
    ASSERT_EQ(encrypted.exitCode, 0) << encrypted.err;
    EXPECT_EQ(encrypted.out, EncryptToBytes("env key", plain));
    const auto decrypted = RunProgram("velmora-tool", {"decrypt"}, env, encrypted.out);
    ASSERT_EQ(decrypted.exitCode, 0) << decrypted.err;
    EXPECT_EQ(decrypted.out, plain + std::string(4, '\0'));
    const auto check = RunProgram("velmora-tool", {"check-value"}, env);
    ASSERT_EQ(check.exitCode, 0) << check.err;
    EXPECT_TRUE(PassesCheckTest("env key", Base64ToStr(check.out.substr(0, 32))));

    // An argument still wins over the variable.
    EXPECT_EQ(RunProgram("velmora-tool", {"encrypt", "arg key"}, env, plain).out, EncryptToBytes("arg key", plain));

    for (const char* command : {"encrypt", "decrypt", "check-value"}) {
        const auto unset = RunProgram("velmora-tool", {command});
        EXPECT_EQ(unset.exitCode, 2) << command;
        EXPECT_EQ(unset.out, "") << command;
        EXPECT_NE(unset.err.find("VELMORA_KEY"), std::string::npos) << unset.err;
    }
}

TEST(CipherCommands, HelpWarnsThatAKeyArgumentIsVisibleToOtherUsers)
{
    const auto help = RunProgram("velmora-tool", {"help"});
    ASSERT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("VELMORA_KEY"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("visible to other users"), std::string::npos) << help.out;
}

TEST(CipherCommands, WrongArgumentsExitWithTwo)
{
    const std::vector<std::vector<std::string>> calls = {
        {"encrypt", "a", "b"}, {"decrypt", "a", "b"}, {"check-value", "a", "b"}, {"base64-encode", "x"}};
    for (const auto& args : calls) {
        const auto result = RunProgram("velmora-tool", args);
        EXPECT_EQ(result.exitCode, 2) << args[0];
        EXPECT_NE(result.err.find("usage"), std::string::npos) << result.err;
    }
}

} // namespace
} // namespace velmora
