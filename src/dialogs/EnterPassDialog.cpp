#include "dialogs/EnterPassDialog.h"

#include "ui/MessageBoxes.h"

#include <QLineEdit>

#include <tuple>

namespace velmora {

namespace {

constexpr const char* kWrongPassword = "Invalid Password, please try again";

} // namespace

TdlgEnterPass::TdlgEnterPass(CheckPasswordFn check, MessageBoxes& boxes, QWidget* owner)
    : PasswordDialog(owner, "dlgEnterPass", QStringLiteral("Enter Password"), true, Placement::CentredOnScreen),
      m_check(std::move(check)), m_boxes(boxes)
{
    // Centred on the screen: the archive may arrive while the main window is elsewhere
    // or hidden behind other programs.
    AddInfo(QStringLiteral("This file is password protected. Please enter the password and click "
                           "\"OK\" to continue"),
            40);
    txtPass = NewPasswordEdit("txtPass");
    lblPassword = AddPasswordRow(txtPass);
    std::tie(btnOK, btnCancel) = AddButtons("btnOK", "btnCancel", [this] { btnOKClick(); }, [this] { btnCancelClick(); });
}

bool TdlgEnterPass::Check(const std::string& candidate, bool base64) const
{
    try {
        return m_check && m_check(candidate, base64);
    } catch (const std::exception&) {
        return false;   // an archive that cannot be read opens with no password
    }
}

void TdlgEnterPass::btnOKClick()
{
    const std::string candidate = Password();
    if (Check(candidate, true) || Check(candidate, false)) {
        accept();
        return;
    }
    m_boxes.ShowMessageBox(kWrongPassword, mb::kIconError);
    txtPass->setFocus(Qt::OtherFocusReason);
}

void TdlgEnterPass::btnCancelClick()
{
    reject();
}

std::string TdlgEnterPass::Password() const
{
    return txtPass->text().toStdString();
}

} // namespace velmora
