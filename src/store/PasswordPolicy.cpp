#include "store/PasswordPolicy.h"

#include "store/Cryptography.h"

namespace velmora {

std::optional<std::string> PasswordRefusal(const std::string& password)
{
    if (password.empty())
        return "You must enter a password.";
    if (password == TCryptography::kDefaultKey)
        return "This password cannot be used because it would leave your files unencrypted. "
               "Please choose another password.";
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    if (blank(password.front()) || blank(password.back()))
        return "A password cannot begin or end with a blank. Please re-enter.";
    return std::nullopt;
}

} // namespace velmora
