#pragma once

#include "ui/MessageFlags.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace velmora {

// The one message box of the program: icon, word-wrapped text and the buttons the
// flags ask for. Its result is the result code of the button chosen (mb::kResult...).
class TmessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TmessageForm(QWidget* parent = nullptr);

    // Shows the buttons and loads the icon the flags choose.
    void SetButtons(int flags);
    // "\r\n" (and a lone "\r") in the text become line breaks; the text is shown as is,
    // never as markup.
    void SetMessage(const QString& text);

    int Flags() const { return m_flags; }
    QString Message() const { return m_message; }
    MessageIcon IconKind() const { return m_icon; }

    // Each ends the box with its button's result.
    void btnOKClick();
    void btnYesClick();
    void btnNoClick();
    void btnCancelClick();

    QLabel* Icon = nullptr;
    QLabel* lblCaption = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnYes = nullptr;
    QPushButton* btnNo = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    // Closing the box from its frame answers like Escape.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Enter answers with the focused button, Escape with No or Cancel.
    bool FormKeyPress(QKeyEvent* event);
    QPushButton* FirstShownInTabOrder() const;

    int m_flags = 0;
    QString m_message;
    MessageIcon m_icon = MessageIcon::Information;
};

// Shows text modally with the buttons and icon of flags, captioned with the application's
// title, and returns the result code of the answer. The box is centred on mainWindow
// while the user sees it, else on the window the user is in (the password gate), else
// on the screen; and it is kept on the screen.
int ShowMessageBox(const QString& text, int flags, QWidget* mainWindow = nullptr);
// The same box, placed alike, shown without waiting for its answer and on top of other
// windows; it goes when the user closes it (any button).
TmessageForm* ShowMessageBoxWithoutWaiting(const QString& text, int flags, QWidget* mainWindow = nullptr);

} // namespace velmora
