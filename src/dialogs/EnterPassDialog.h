#pragma once

#include "dialogs/PasswordDialog.h"

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class MessageBoxes;

// Asks for the password of a transfer archive being imported. exec() returns
// QDialog::Accepted once a candidate opens the archive's check value; Password() is
// then that candidate.
class TdlgEnterPass : public PasswordDialog {
    Q_OBJECT
public:
    // Tests a candidate against the open archive: with base64 true the stored check
    // value is read as Base64 text, else as the raw cipher bytes. Errors count as a
    // refusal.
    using CheckPasswordFn = std::function<bool(const std::string& candidate, bool base64)>;

    // boxes must outlive the dialog.
    TdlgEnterPass(CheckPasswordFn check, MessageBoxes& boxes, QWidget* owner = nullptr);

    // Tries the entry in both forms of the check value; closes with Accepted when one
    // opens, else tells the user and puts the focus back on the entry.
    void btnOKClick();
    void btnCancelClick();

    // The entry exactly as typed (UTF-8).
    std::string Password() const;

    QLabel* lblPassword = nullptr;
    QLineEdit* txtPass = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    bool Check(const std::string& candidate, bool base64) const;

    CheckPasswordFn m_check;
    MessageBoxes& m_boxes;
};

} // namespace velmora
