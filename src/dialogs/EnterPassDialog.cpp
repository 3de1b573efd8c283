#include "dialogs/EnterPassDialog.h"

#include "dialogs/DialogParts.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/KeyPreview.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace velmora {

namespace {

constexpr const char* kWrongPassword = "Invalid Password, please try again";

} // namespace

TdlgEnterPass::TdlgEnterPass(CheckPasswordFn check, MessageBoxes& boxes, QWidget* owner)
    : QDialog(owner), m_check(std::move(check)), m_boxes(boxes)
{
    setObjectName(QStringLiteral("dlgEnterPass"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Enter Password"));

    lblInfo = new QLabel(QStringLiteral("This file is password protected. Please enter the password and click "
                                        "\"OK\" to continue"),
                         this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    lblInfo->setMinimumWidth(40 * fontMetrics().averageCharWidth());

    lblPassword = new QLabel(QStringLiteral("&Password:"), this);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    txtPass = NewPasswordEdit("txtPass", this);
    lblPassword->setBuddy(txtPass);

    btnOK = NewFormButton(QStringLiteral("OK"), "btnOK", this);
    btnCancel = NewFormButton(QStringLiteral("Cancel"), "btnCancel", this);
    connect(btnOK, &QPushButton::clicked, this, &TdlgEnterPass::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TdlgEnterPass::btnCancelClick);

    auto* entry = new QHBoxLayout;
    entry->addWidget(lblPassword);
    entry->addWidget(txtPass, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addLayout(entry);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(NewButtonRow(btnOK, btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(txtPass, btnOK);
    setTabOrder(btnOK, btnCancel);

    new KeyPreview(this, [this](QKeyEvent* event) { return FormKeyPress(event); });
}

void TdlgEnterPass::showEvent(QShowEvent* event)
{
    // Centred on the screen: the archive may arrive while the main window is elsewhere
    // or hidden behind other programs.
    QScreen* on = screen() ? screen() : QGuiApplication::primaryScreen();
    if (on) {
        const QRect area = on->availableGeometry();
        const QSize outer = frameGeometry().size();
        const WindowPosition at =
            CentredPosition({area.left(), area.top(), area.width(), area.height()}, outer.width(), outer.height());
        move(at.left, at.top);
    }
    QDialog::showEvent(event);
    // An archive opened from the desktop comes to a program in the background.
    raise();
    activateWindow();
    txtPass->setFocus(Qt::OtherFocusReason);
}

bool TdlgEnterPass::FormKeyPress(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        btnOKClick();
        return true;
    case Qt::Key_Escape:
        btnCancelClick();
        return true;
    default:
        return false;
    }
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
