#pragma once

#include <QDialog>

#include <functional>
#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace velmora {

// The body the password dialogs share: a caption without minimise and maximise, an
// information line over the password edits, OK and Cancel at the right, Enter for OK
// and Escape for Cancel wherever the focus is, a fixed size, and on showing the
// dialog's place and the focus on its first edit. Each dialog adds its texts, its edits
// and its rules, in the order they appear.
class PasswordDialog : public QDialog {
    Q_OBJECT
public:
    QLabel* lblInfo = nullptr;

protected:
    enum class Placement {
        Default,           // where Qt puts a dialog
        CentredOnOwner,    // on the owner's window, by the outer frames of both
        CentredOnScreen,   // on its screen, and brought to the front: it may come to a
                           // program in the background
    };

    // closeButton: whether the caption offers one besides OK and Cancel.
    PasswordDialog(QWidget* owner, const char* name, const QString& caption, bool closeButton,
                   Placement placement);

    // The information line; wrapChars > 0 wraps it at no less than that many average
    // characters, 0 keeps it on one line.
    void AddInfo(const QString& text, int wrapChars);
    // An edit that shows no characters, carrying its name. The edits take the focus in
    // the order they are made; the first has it when the dialog shows.
    QLineEdit* NewPasswordEdit(const char* name);
    // "&Password:" and the edit on one row; returns the label.
    QLabel* AddPasswordRow(QLineEdit* edit);
    // Labelled edits one under the other, set apart from the information line.
    void AddPasswordFields(const std::vector<std::pair<QString, QLineEdit*>>& fields);
    // OK and Cancel at the right, set apart from the edits, last in the focus order; ok
    // and cancel run on their buttons, on Enter and on Escape. The buttons never take
    // Enter for themselves, so that Enter means OK whatever has the focus.
    std::pair<QPushButton*, QPushButton*> AddButtons(const char* okName, const char* cancelName,
                                                     std::function<void()> ok, std::function<void()> cancel);

    void showEvent(QShowEvent* event) override;   // FormShow

private:
    QPushButton* NewFormButton(const QString& text, const char* name);

    Placement m_placement;
    QVBoxLayout* m_layout = nullptr;
    std::vector<QLineEdit*> m_edits;
};

} // namespace velmora
