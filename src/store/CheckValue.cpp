#include "store/CheckValue.h"

#include "store/Base64.h"
#include "store/Blowfish.h"
#include "store/DecryptionStream.h"
#include "store/EncryptionStream.h"
#include "store/MemoryStream.h"

namespace velmora {

std::string EncryptToBytes(const TCryptography& cipher, const std::string& plain)
{
    MemoryStream target;
    {
        TEncryptionStream encryption(target, cipher);
        encryption.WriteBuffer(plain.data(), static_cast<std::int64_t>(plain.size()));
        encryption.Finish();
    }
    return target.TakeBytes();
}

std::string EncryptToBytes(const std::string& key, const std::string& plain)
{
    return EncryptToBytes(TBlowfish(key), plain);
}

std::string DecryptBytes(const TCryptography& cipher, const std::string& cipherBytes)
{
    MemoryStream source(cipherBytes);
    TDecryptionStream decryption(source, cipher);
    MemoryStream plain;
    plain.CopyFrom(decryption, 0);
    return plain.TakeBytes();
}

std::string DecryptBytes(const std::string& key, const std::string& cipherBytes)
{
    return DecryptBytes(TBlowfish(key), cipherBytes);
}

std::string CheckValueFor(const TCryptography& cipher)
{
    return StrToBase64(EncryptToBytes(cipher, kCheckText));
}

std::string CheckValueFor(const std::string& key)
{
    return CheckValueFor(TBlowfish(key));
}

std::string TrimBlanks(const std::string& text)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && blank(text[first]))
        ++first;
    while (last > first && blank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool PassesCheckTest(const TCryptography& candidateCipher, const std::string& storedBytes)
{
    return TrimBlanks(DecryptBytes(candidateCipher, storedBytes)) == kCheckText;
}

bool PassesCheckTest(const std::string& candidate, const std::string& storedBytes)
{
    return PassesCheckTest(TBlowfish(candidate), storedBytes);
}

} // namespace velmora
