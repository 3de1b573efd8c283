#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace velmora {

// A new password and its confirmation differ.
inline constexpr const char* kPasswordNotConfirmed = "Password does not match confirmation. Please re-enter.";

// A password that cannot become the library's password; the text says why.
class PasswordRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Why a password cannot be set: empty or the cipher's default key (both leave
// content unencrypted), or blanks at either end (the password gate trims what is typed,
// so such a password could never be entered). Nothing when it is acceptable.
std::optional<std::string> PasswordRefusal(const std::string& password);

} // namespace velmora
