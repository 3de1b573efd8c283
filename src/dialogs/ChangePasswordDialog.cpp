#include "dialogs/ChangePasswordDialog.h"

#include "dialogs/ChangePasswordChecks.h"
#include "store/LibraryPassword.h"
#include "ui/MessageBoxes.h"

#include <QLineEdit>

#include <tuple>

namespace velmora {

TdlgChangePass::TdlgChangePass(MessageBoxes& boxes, QWidget* owner)
    : PasswordDialog(owner, "dlgChangePass", QStringLiteral("Change Password"), true, Placement::Default),
      m_boxes(boxes)
{
    AddInfo(QStringLiteral("To change your password, enter your current password, then enter and "
                           "confirm your new password, and click OK."),
            40);
    txtCurrentPass = NewPasswordEdit("txtCurrentPass");
    txtPassword = NewPasswordEdit("txtPassword");
    txtConfirmPass = NewPasswordEdit("txtConfirmPass");
    AddPasswordFields({{QStringLiteral("&Current Password:"), txtCurrentPass},
                       {QStringLiteral("&New Password:"), txtPassword},
                       {QStringLiteral("C&onfirm Password:"), txtConfirmPass}});
    std::tie(OKBtn, CancelBtn) = AddButtons("OKBtn", "CancelBtn", [this] { OKBtnClick(); }, [this] { CancelBtnClick(); });
}

void TdlgChangePass::OKBtnClick()
{
    const auto problem = CheckChangePassword(LibraryPassword(), txtCurrentPass->text().toStdString(),
                                             txtPassword->text().toStdString(),
                                             txtConfirmPass->text().toStdString());
    if (!problem) {
        accept();
        return;
    }
    m_boxes.ShowMessageBox(problem->message, mb::kIconInformation);
    switch (problem->focus) {
    case ChangePasswordField::CurrentPassword:
        txtCurrentPass->setFocus(Qt::OtherFocusReason);
        break;
    case ChangePasswordField::NewPassword:
        txtPassword->setFocus(Qt::OtherFocusReason);
        break;
    case ChangePasswordField::ConfirmPassword:
        txtConfirmPass->setFocus(Qt::OtherFocusReason);
        break;
    }
}

void TdlgChangePass::CancelBtnClick()
{
    reject();
}

std::string TdlgChangePass::NewPassword() const
{
    return txtPassword->text().toStdString();
}

} // namespace velmora
