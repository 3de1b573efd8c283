#include "dialogs/PasswordForm.h"

#include "dialogs/DialogParts.h"
#include "dialogs/KeyPreview.h"
#include "dialogs/PasswordText.h"
#include "store/PasswordPolicy.h"
#include "ui/MessageBoxes.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace velmora {

TfrmPassword::TfrmPassword(VerifyPasswordFn verify, MessageBoxes& boxes, QWidget* owner)
    : QDialog(owner), m_verify(std::move(verify)), m_boxes(boxes)
{
    setObjectName(QStringLiteral("frmPassword"));
    // A title and nothing else on the caption bar: the form is left only by OK or Cancel.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(QStringLiteral("Password Protected"));

    lblInfo = new QLabel(
        QStringLiteral("This application is password protected. Please enter the password, and click OK to continue"),
        this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setWordWrap(true);
    QFont bold = lblInfo->font();
    bold.setBold(true);
    lblInfo->setFont(bold);

    lblPassword = new QLabel(QStringLiteral("&Password:"), this);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    txtPass = NewPasswordEdit("txtPass", this);
    lblPassword->setBuddy(txtPass);

    btnOK = NewFormButton(QStringLiteral("OK"), "btnOK", this);
    btnCancel = NewFormButton(QStringLiteral("Cancel"), "btnCancel", this);
    connect(btnOK, &QPushButton::clicked, this, &TfrmPassword::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmPassword::btnCancelClick);

    auto* entry = new QHBoxLayout;
    entry->addWidget(lblPassword);
    entry->addWidget(txtPass, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addLayout(entry);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(NewButtonRow(btnOK, btnCancel));

    setTabOrder(txtPass, btnOK);
    setTabOrder(btnOK, btnCancel);

    // Fixed size, wide enough for the message in two or three lines at any font size.
    lblInfo->setMinimumWidth(42 * fontMetrics().averageCharWidth());
    layout->setSizeConstraint(QLayout::SetFixedSize);

    new KeyPreview(this, [this](QKeyEvent* event) { return FormKeyPress(event); });
}

void TfrmPassword::showEvent(QShowEvent* event)
{
    // Centred on the screen the form is on.
    QScreen* on = screen() ? screen() : QGuiApplication::primaryScreen();
    if (on) {
        const QRect area = on->availableGeometry();
        const QSize outer = frameGeometry().size();   // the frame is known once the window exists
        move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
    }
    QDialog::showEvent(event);
    raise();
    activateWindow();
    setFocus();
    txtPass->setFocus(Qt::OtherFocusReason);
}

bool TfrmPassword::FormKeyPress(QKeyEvent* event)
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

void TfrmPassword::btnOKClick()
{
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
