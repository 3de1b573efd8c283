// The lock ("Lock System") and the unlock prompt on the next activation.
#include "app/MainWindow.h"

#include "app/TaskbarStandIn.h"
#include "dialogs/PasswordForm.h"

namespace velmora {

namespace {
constexpr const char* kLockedTitle = "Password Protected Program";
}

void TfrmMain::doFileBoss()
{
    SetApplicationTitle(QString::fromLatin1(kLockedTitle));
    // The preview window and its slideshow and the shell-extension control window are
    // not part of the program yet; the lock withdraws them once they are.
    m_progress.CancelProgress();
    m_shellExtensionWasActive = false;
    LockPlayer();
    hide();
    m_unlockPending = true;
    m_standIn->ShowMinimised();
}

void TfrmMain::ReActivate()
{
    if (!m_unlockPending)
        return;
    m_unlockPending = false;
    m_standIn->Withdraw();

    bool accepted = false;
    {
        TfrmPassword form([this](const std::string& password) { return VerifyPassword(password); }, *m_boxes, this);
        accepted = form.exec() == QDialog::Accepted;
    }
    if (!accepted) {
        // Cancel ends the program at once, without the closing checks.
        emit EndProgram(0);
        return;
    }
    // Showing the window runs FormShow again: the placement is restored, the tree kept.
    show();
    raise();
    activateWindow();
}

} // namespace velmora
