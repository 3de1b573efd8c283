#pragma once

#include <optional>
#include <string>

namespace velmora {

// The edit of the change-password dialog that gets the focus after a refused entry.
enum class ChangePasswordField { CurrentPassword, NewPassword, ConfirmPassword };

struct ChangePasswordProblem {
    std::string message;   // shown as an information message
    ChangePasswordField focus;
};

// The checks of the dialog's OK, in order: the current password must equal the library
// password exactly, the new one must not be empty, must match its confirmation exactly,
// and must be one the library accepts. Nothing when the entry may go ahead.
std::optional<ChangePasswordProblem> CheckChangePassword(const std::string& libraryPassword,
                                                         const std::string& current,
                                                         const std::string& newPassword,
                                                         const std::string& confirmation);

} // namespace velmora
