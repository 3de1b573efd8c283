#include "dialogs/ChangePasswordDialog.h"

#include "dialogs/ChangePasswordChecks.h"
#include "dialogs/DialogParts.h"
#include "dialogs/KeyPreview.h"
#include "store/LibraryPassword.h"
#include "ui/MessageBoxes.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

TdlgChangePass::TdlgChangePass(MessageBoxes& boxes, QWidget* owner) : QDialog(owner), m_boxes(boxes)
{
    setObjectName(QStringLiteral("dlgChangePass"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Change Password"));

    lblInfo = new QLabel(QStringLiteral("To change your password, enter your current password, then enter and "
                                        "confirm your new password, and click OK."),
                         this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    lblInfo->setMinimumWidth(40 * fontMetrics().averageCharWidth());

    txtCurrentPass = NewPasswordEdit("txtCurrentPass", this);
    txtPassword = NewPasswordEdit("txtPassword", this);
    txtConfirmPass = NewPasswordEdit("txtConfirmPass", this);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Current Password:"), txtCurrentPass);
    fields->addRow(QStringLiteral("&New Password:"), txtPassword);
    fields->addRow(QStringLiteral("C&onfirm Password:"), txtConfirmPass);

    OKBtn = NewFormButton(QStringLiteral("OK"), "OKBtn", this);
    CancelBtn = NewFormButton(QStringLiteral("Cancel"), "CancelBtn", this);
    connect(OKBtn, &QPushButton::clicked, this, &TdlgChangePass::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TdlgChangePass::CancelBtnClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(fields);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(NewButtonRow(OKBtn, CancelBtn));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(txtCurrentPass, txtPassword);
    setTabOrder(txtPassword, txtConfirmPass);
    setTabOrder(txtConfirmPass, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    new KeyPreview(this, [this](QKeyEvent* event) { return FormKeyPress(event); });
}

void TdlgChangePass::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    txtCurrentPass->setFocus(Qt::OtherFocusReason);
}

bool TdlgChangePass::FormKeyPress(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OKBtnClick();
        return true;
    case Qt::Key_Escape:
        CancelBtnClick();
        return true;
    default:
        return false;
    }
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
