#pragma once

#include <string>

namespace velmora {

class TCryptography;

// The text whose cipher stream proves a password: 22 characters, 24 cipher bytes,
// 32 Base64 characters.
inline constexpr const char* kCheckText = "PROPER CIPHER UNLOCKED";

// plain as a cipher stream under the cipher (or a TBlowfish keyed with key): whole
// blocks, the last completed with zero bytes, nothing for empty input.
std::string EncryptToBytes(const TCryptography& cipher, const std::string& plain);
std::string EncryptToBytes(const std::string& key, const std::string& plain);

// Every whole block of cipherBytes decrypted, zero fill included; a trailing part
// shorter than a block is ignored.
std::string DecryptBytes(const TCryptography& cipher, const std::string& cipherBytes);
std::string DecryptBytes(const std::string& key, const std::string& cipherBytes);

// The check value stored for a password: StrToBase64 of the check text encrypted.
std::string CheckValueFor(const TCryptography& cipher);
std::string CheckValueFor(const std::string& key);

// Whether storedBytes (the check value's cipher bytes, already Base64-decoded where
// needed) decrypts under the candidate to the check text, once leading and trailing
// characters up to and including the blank are removed. Letter case counts.
bool PassesCheckTest(const TCryptography& candidateCipher, const std::string& storedBytes);
bool PassesCheckTest(const std::string& candidate, const std::string& storedBytes);

// text without leading and trailing characters up to and including the blank.
std::string TrimBlanks(const std::string& text);

} // namespace velmora
