#pragma once

#include "dialogs/PasswordDialog.h"

#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class MessageBoxes;

// The password gate in front of the library. exec() returns QDialog::Accepted when the
// password was accepted and QDialog::Rejected on Cancel.
class TfrmPassword : public PasswordDialog {
    Q_OBJECT
public:
    // Tests the trimmed entry; may throw PasswordRefused (a brand-new library refusing a
    // first password), whose text is then shown.
    using VerifyPasswordFn = std::function<bool(const std::string& password)>;

    // A library that has a password is opened with it; one that has none yet takes the
    // first password typed, which is therefore typed twice: a typo must not become the
    // password of files whose originals may be deleted once they are added.
    enum class Entry { Password, FirstPassword };

    // boxes must outlive the form.
    TfrmPassword(VerifyPasswordFn verify, MessageBoxes& boxes, QWidget* owner = nullptr,
                 Entry entry = Entry::Password);

    // A first password that differs from its confirmation is refused before anything is
    // tested. Then trims the entry and tests it; closes with Accepted when it passes, else
    // tells the user and puts the focus back on the entry, which keeps its text.
    void btnOKClick();
    void btnCancelClick();

    QLabel* lblPassword = nullptr;
    QLineEdit* txtPass = nullptr;
    QLineEdit* txtConfirmPass = nullptr;   // only for a first password
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    VerifyPasswordFn m_verify;
    MessageBoxes& m_boxes;
};

} // namespace velmora
