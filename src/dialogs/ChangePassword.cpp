#include "dialogs/ChangePassword.h"

#include "dialogs/ChangePasswordDialog.h"
#include "store/Library.h"
#include "ui/MessageBoxes.h"

#include <memory>

namespace velmora {

void doChangePass(QWidget* owner, Library& library, MessageBoxes& boxes, ProgressRoutines& progress)
{
    auto dialog = std::make_unique<TdlgChangePass>(boxes, owner);
    if (dialog->exec() != QDialog::Accepted)
        return;
    if (boxes.ShowMessageBox(kChangePasswordQuestion, mb::kYesNo | mb::kIconQuestion) != mb::kResultYes)
        return;
    const std::string newPassword = dialog->NewPassword();
    dialog.reset();
    // Shows "Re-Encrypting" without Cancel and runs to the end.
    library.ChangePassword(newPassword, progress);
}

} // namespace velmora
