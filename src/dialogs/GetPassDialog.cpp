#include "dialogs/GetPassDialog.h"

#include "store/PasswordPolicy.h"
#include "ui/MessageBoxes.h"

#include <QLineEdit>

#include <tuple>

namespace velmora {

namespace {

constexpr const char* kEmptyPassword = "You must enter a password.";

} // namespace

TdlgGetPass::TdlgGetPass(MessageBoxes& boxes, QWidget* owner)
    : PasswordDialog(owner, "dlgGetPass", QStringLiteral("Enter Password"), true, Placement::CentredOnOwner),
      m_boxes(boxes)
{
    AddInfo(QStringLiteral("Please enter and confirm a password to use"), 0);
    txtPassword = NewPasswordEdit("txtPassword");
    txtConfirmPass = NewPasswordEdit("txtConfirmPass");
    AddPasswordFields({{QStringLiteral("&Password:"), txtPassword}, {QStringLiteral("&Confirm Password:"), txtConfirmPass}});
    std::tie(OKBtn, CancelBtn) = AddButtons("OKBtn", "CancelBtn", [this] { OKBtnClick(); }, [this] { CancelBtnClick(); });
    txtPassword->setMinimumWidth(24 * fontMetrics().averageCharWidth());
}

void TdlgGetPass::OKBtnClick()
{
    const char* problem = nullptr;
    if (txtPassword->text().isEmpty())
        problem = kEmptyPassword;
    else if (txtPassword->text() != txtConfirmPass->text())
        problem = kPasswordNotConfirmed;
    if (problem == nullptr) {
        accept();
        return;
    }
    m_boxes.ShowMessageBox(problem, mb::kIconInformation);
    txtPassword->setFocus(Qt::OtherFocusReason);
}

void TdlgGetPass::CancelBtnClick()
{
    reject();
}

std::string TdlgGetPass::Password() const
{
    return txtPassword->text().toStdString();
}

} // namespace velmora
