#include "dialogs/PasswordForm.h"

#include "dialogs/PasswordText.h"
#include "store/PasswordPolicy.h"
#include "ui/MessageBoxes.h"

#include <QLabel>
#include <QLineEdit>

#include <tuple>

namespace velmora {

TfrmPassword::TfrmPassword(VerifyPasswordFn verify, MessageBoxes& boxes, QWidget* owner, Entry entry)
    : PasswordDialog(owner, "frmPassword", QStringLiteral("Password Protected"), false, Placement::CentredOnScreen),
      m_verify(std::move(verify)), m_boxes(boxes)
{
    // No close button: the form is left only by OK or Cancel. Fixed size, wide enough for
    // the message in two or three lines at any font size.
    AddInfo(entry == Entry::FirstPassword
                ? QStringLiteral("This library has no password yet. Please choose its password, enter it twice, and "
                                 "click OK to continue")
                : QStringLiteral("This application is password protected. Please enter the password, and click OK "
                                 "to continue"),
            42);
    QFont bold = lblInfo->font();
    bold.setBold(true);
    lblInfo->setFont(bold);
    txtPass = NewPasswordEdit("txtPass");
    if (entry == Entry::FirstPassword) {
        txtConfirmPass = NewPasswordEdit("txtConfirmPass");
        AddPasswordFields({{QStringLiteral("&Password:"), txtPass}, {QStringLiteral("&Confirm Password:"), txtConfirmPass}});
    } else {
        lblPassword = AddPasswordRow(txtPass);
    }
    std::tie(btnOK, btnCancel) = AddButtons("btnOK", "btnCancel", [this] { btnOKClick(); }, [this] { btnCancelClick(); });
}

void TfrmPassword::btnOKClick()
{
    if (txtConfirmPass != nullptr && txtPass->text() != txtConfirmPass->text()) {
        m_boxes.ShowMessageBox(kPasswordNotConfirmed, mb::kIconInformation);
        txtPass->setFocus(Qt::OtherFocusReason);
        return;
    }
    const std::string password = TrimPasswordEntry(txtPass->text().toStdString());
    bool accepted = false;
    try {
        accepted = m_verify && m_verify(password);
    } catch (const PasswordRefused& refused) {
        // A new library cannot take this as its first password; say why and let the
        // user choose another.
        m_boxes.ShowMessageBox(refused.what(), mb::kIconInformation);
        txtPass->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (accepted) {
        accept();
        return;
    }
    m_boxes.ShowMessageBox("Invalid Password, please try again", mb::kIconError);
    txtPass->setFocus(Qt::OtherFocusReason);
}

void TfrmPassword::btnCancelClick()
{
    reject();
}

} // namespace velmora
