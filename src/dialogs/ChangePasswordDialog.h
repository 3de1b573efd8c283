#pragma once

#include "dialogs/PasswordDialog.h"

#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class MessageBoxes;

// Asks for the current password and the new one twice. exec() returns QDialog::Accepted
// only when the entry passed every check; NewPassword() is then the password to set.
class TdlgChangePass : public PasswordDialog {
    Q_OBJECT
public:
    // boxes must outlive the dialog.
    explicit TdlgChangePass(MessageBoxes& boxes, QWidget* owner = nullptr);

    // Runs the checks against the library password of this run; on a problem shows its
    // message and moves the focus, else closes with Accepted.
    void OKBtnClick();
    void CancelBtnClick();

    // The new password exactly as typed (UTF-8).
    std::string NewPassword() const;

    QLineEdit* txtCurrentPass = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtConfirmPass = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    MessageBoxes& m_boxes;
};

} // namespace velmora
