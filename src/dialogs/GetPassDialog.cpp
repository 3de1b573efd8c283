#include "dialogs/GetPassDialog.h"

#include "dialogs/DialogParts.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/KeyPreview.h"
#include "ui/MessageBoxes.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {

constexpr const char* kEmptyPassword = "You must enter a password.";
constexpr const char* kNotConfirmed = "Password does not match confirmation. Please re-enter.";

} // namespace

TdlgGetPass::TdlgGetPass(MessageBoxes& boxes, QWidget* owner) : QDialog(owner), m_boxes(boxes)
{
    setObjectName(QStringLiteral("dlgGetPass"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Enter Password"));

    lblInfo = new QLabel(QStringLiteral("Please enter and confirm a password to use"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));

    txtPassword = NewPasswordEdit("txtPassword", this);
    txtConfirmPass = NewPasswordEdit("txtConfirmPass", this);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&Password:"), txtPassword);
    fields->addRow(QStringLiteral("&Confirm Password:"), txtConfirmPass);

    OKBtn = NewFormButton(QStringLiteral("OK"), "OKBtn", this);
    CancelBtn = NewFormButton(QStringLiteral("Cancel"), "CancelBtn", this);
    connect(OKBtn, &QPushButton::clicked, this, &TdlgGetPass::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TdlgGetPass::CancelBtnClick);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(fields);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(NewButtonRow(OKBtn, CancelBtn));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    txtPassword->setMinimumWidth(24 * fontMetrics().averageCharWidth());

    setTabOrder(txtPassword, txtConfirmPass);
    setTabOrder(txtConfirmPass, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    new KeyPreview(this, [this](QKeyEvent* event) { return FormKeyPress(event); });
}

void TdlgGetPass::showEvent(QShowEvent* event)
{
    // Centred on the main window, by the outer frames of both.
    if (QWidget* owner = parentWidget()) {
        const QRect frame = owner->window()->frameGeometry();
        const QSize outer = frameGeometry().size();
        const WindowPosition at = CentredPosition({frame.left(), frame.top(), frame.width(), frame.height()},
                                                  outer.width(), outer.height());
        move(at.left, at.top);
    }
    QDialog::showEvent(event);
    txtPassword->setFocus(Qt::OtherFocusReason);
}

bool TdlgGetPass::FormKeyPress(QKeyEvent* event)
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

void TdlgGetPass::OKBtnClick()
{
    const char* problem = nullptr;
    if (txtPassword->text().isEmpty())
        problem = kEmptyPassword;
    else if (txtPassword->text() != txtConfirmPass->text())
        problem = kNotConfirmed;
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
