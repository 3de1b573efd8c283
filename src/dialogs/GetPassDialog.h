#pragma once

#include "dialogs/PasswordDialog.h"

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class MessageBoxes;

// Asks for the password of a new transfer archive, typed twice. exec() returns
// QDialog::Accepted only when the entry is not empty and both entries agree;
// Password() is then the archive password.
class TdlgGetPass : public PasswordDialog {
    Q_OBJECT
public:
    // boxes must outlive the dialog; the dialog is centred on owner's window.
    explicit TdlgGetPass(MessageBoxes& boxes, QWidget* owner = nullptr);

    // An empty or unconfirmed entry is told and the focus goes back to the first edit,
    // both edits keeping their text; else closes with Accepted.
    void OKBtnClick();
    void CancelBtnClick();

    // The password exactly as typed (UTF-8).
    std::string Password() const;

    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtConfirmPass = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    MessageBoxes& m_boxes;
};

} // namespace velmora
