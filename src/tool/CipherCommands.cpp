// Cipher commands: encrypt and decrypt standard input to standard output through the
// cipher streams, Base64 in both directions, and the password check value.
#include "tool/LibraryAccess.h"
#include "tool/ToolCommand.h"

#include "store/Base64.h"
#include "store/Blowfish.h"
#include "store/CheckValue.h"
#include "store/DecryptionStream.h"
#include "store/EncryptionStream.h"
#include "store/FileStream.h"

#include <cstdint>
#include <string>
#include <unistd.h>
#include <vector>

namespace velmora::tool {

namespace {

// Large pieces keep the cipher running on many blocks per call; memory stays constant.
constexpr std::int64_t kPieceSize = 1 << 20;

// Names the key's variable in the help text too.
constexpr const char* kKeyVariable = "VELMORA_KEY";

void RequireArguments(const std::vector<std::string>& args, std::size_t count, const char* usage)
{
    if (args.size() != count)
        throw ToolError(std::string("usage: velmora-tool ") + usage);
}

// The key as an argument, or from VELMORA_KEY when the argument is left out: any local
// user can read a running command's arguments, but not its environment.
std::string KeyArgument(const std::vector<std::string>& args, const char* usage)
{
    if (args.size() > 1)
        throw ToolError(std::string("usage: velmora-tool ") + usage);
    if (args.size() == 1)
        return args[0];
    return RequiredEnvironment(kKeyVariable, "the key");
}

std::string ReadAllInput()
{
    FileStream in(STDIN_FILENO, "standard input");
    std::string bytes;
    std::vector<char> piece(static_cast<std::size_t>(kPieceSize));
    for (;;) {
        const std::int64_t n = in.Read(piece.data(), kPieceSize);
        bytes.append(piece.data(), static_cast<std::size_t>(n));
        if (n < kPieceSize)
            return bytes;
    }
}

void WriteOutput(const std::string& bytes)
{
    FileStream out(STDOUT_FILENO, "standard output");
    out.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

int Encrypt(const std::vector<std::string>& args)
{
    const TBlowfish cipher(KeyArgument(args, "encrypt [KEY]"));
    FileStream in(STDIN_FILENO, "standard input");
    FileStream out(STDOUT_FILENO, "standard output");
    TEncryptionStream encryption(out, cipher);
    std::vector<char> piece(static_cast<std::size_t>(kPieceSize));
    for (;;) {
        const std::int64_t n = in.Read(piece.data(), kPieceSize);
        encryption.WriteBuffer(piece.data(), n);
        if (n < kPieceSize)
            break;
    }
    encryption.Finish();
    return 0;
}

int Decrypt(const std::vector<std::string>& args)
{
    const TBlowfish cipher(KeyArgument(args, "decrypt [KEY]"));
    FileStream in(STDIN_FILENO, "standard input");
    FileStream out(STDOUT_FILENO, "standard output");
    TDecryptionStream decryption(in, cipher);
    std::vector<char> piece(static_cast<std::size_t>(kPieceSize));
    for (;;) {
        const std::int64_t n = decryption.Read(piece.data(), kPieceSize);
        out.WriteBuffer(piece.data(), n);
        if (n < kPieceSize)
            return 0;
    }
}

// Trailing line ends and blanks are not part of the text (a shell's echo adds one).
std::string WithoutTrailingSpace(std::string text)
{
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
        text.pop_back();
    return text;
}

int Base64Encode(const std::vector<std::string>& args)
{
    RequireArguments(args, 0, "base64-encode");
    WriteOutput(StrToBase64(ReadAllInput()) + "\n");
    return 0;
}

int Base64Decode(const std::vector<std::string>& args)
{
    RequireArguments(args, 0, "base64-decode");
    WriteOutput(Base64ToStr(WithoutTrailingSpace(ReadAllInput())));
    return 0;
}

int CheckValue(const std::vector<std::string>& args)
{
    WriteOutput(CheckValueFor(KeyArgument(args, "check-value [KEY]")) + "\n");
    return 0;
}

const ToolCommand kCommands[] = {
    {"encrypt", "[KEY]", "encrypt standard input to standard output", Encrypt},
    {"decrypt", "[KEY]", "decrypt standard input (whole blocks, zero fill included)", Decrypt},
    {"base64-encode", "", "standard input as Base64 text (one line)", Base64Encode},
    {"base64-decode", "", "Base64 text on standard input back to bytes", Base64Decode},
    {"check-value", "[KEY]", "the password check value of KEY (Base64)", CheckValue},
};

} // namespace

std::span<const ToolCommand> CipherCommands()
{
    return kCommands;
}

} // namespace velmora::tool
