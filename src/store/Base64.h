#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// Text that Base64ToStr cannot take apart.
class Base64Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Cipher bytes as text for the text columns. Unlike RFC 4648, empty input encodes as
// "A===", which decodes back to nothing.
std::string StrToBase64(const std::string& bytes);

// Decodes text of a length above 3 and a multiple of 4, else Base64Error "Base64ToStr:
// illegal input length!". A character outside the alphabet counts as the value 61;
// each "=" at the end removes one byte from the end of the result.
std::string Base64ToStr(const std::string& text);

} // namespace velmora
