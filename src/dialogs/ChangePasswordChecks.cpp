#include "dialogs/ChangePasswordChecks.h"

#include "store/PasswordPolicy.h"

namespace velmora {

std::optional<ChangePasswordProblem> CheckChangePassword(const std::string& libraryPassword,
                                                         const std::string& current,
                                                         const std::string& newPassword,
                                                         const std::string& confirmation)
{
    if (current != libraryPassword)
        return ChangePasswordProblem{"The current password you entered is incorrect. Please re-enter.",
                                     ChangePasswordField::CurrentPassword};
    if (newPassword.empty())
        return ChangePasswordProblem{"You must enter a password.", ChangePasswordField::NewPassword};
    if (newPassword != confirmation)
        return ChangePasswordProblem{kPasswordNotConfirmed, ChangePasswordField::NewPassword};
    // The library would refuse it anyway, after the question and with no way back to the
    // dialog; asking here keeps the dialog open for another try.
    if (auto refusal = PasswordRefusal(newPassword))
        return ChangePasswordProblem{*refusal, ChangePasswordField::NewPassword};
    return std::nullopt;
}

} // namespace velmora
