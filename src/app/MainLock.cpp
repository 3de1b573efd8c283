// The start-up gate, the lock ("Lock System") and the unlock prompt on the next
// activation.
#include "app/MainWindow.h"

#include "app/TaskbarStandIn.h"
#include "dialogs/PasswordForm.h"
#include "integration/ShellBridge.h"

namespace velmora {

namespace {
constexpr const char* kLockedTitle = "Password Protected Program";
}

bool TfrmMain::RunPasswordForm()
{
    TfrmPassword::Entry entry = TfrmPassword::Entry::Password;
    try {
        if (!m_library.HasPassword())
            entry = TfrmPassword::Entry::FirstPassword;
    } catch (const std::exception&) {
        // An options row that cannot be read refuses every password at the test itself.
    }
    TfrmPassword form([this](const std::string& password) { return VerifyPassword(password); }, *m_boxes, this,
                      entry);
    m_passwordForm = &form;
    return form.exec() == QDialog::Accepted;
}

bool TfrmMain::PasswordGate()
{
    m_locked = true;
    if (!RunPasswordForm()) {
        // Nothing handed over meanwhile is done: the program ends.
        m_handOverJobs.clear();
        return false;
    }
    Unlock();
    m_shellBridge->LibraryOpened();
    return true;
}

void TfrmMain::Unlock()
{
    m_locked = false;
    // From the event loop: the window is shown first.
    if (!m_handOverJobs.empty())
        QMetaObject::invokeMethod(this, &TfrmMain::RunHandOverJobs, Qt::QueuedConnection);
}

void TfrmMain::doFileBoss()
{
    SetApplicationTitle(QString::fromLatin1(kLockedTitle));
    WithdrawSlideshow();
    m_progress.CancelProgress();
    // The operation goes on to its next check (a big file is stored whole first): its
    // window, which names the file, goes now.
    m_progress.Withdraw();
    m_shellBridge->LibraryLocked();
    LockPlayer();
    hide();
    m_locked = true;
    m_unlockPending = true;
    m_standIn->ShowMinimised();
}

void TfrmMain::ReActivate()
{
    if (!m_unlockPending)
        return;
    m_unlockPending = false;
    m_standIn->Withdraw();

    if (!RunPasswordForm()) {
        // Cancel ends the program at once, without the closing checks; what was handed
        // over while locked is not done.
        m_handOverJobs.clear();
        emit EndProgram(0);
        return;
    }
    m_shellBridge->LibraryUnlocked();
    // Showing the window runs FormShow again: the placement is restored, the tree kept.
    show();
    raise();
    activateWindow();
    // An operation that still runs shows its window again, over the main window.
    m_progress.Restore();
    Unlock();
}

} // namespace velmora
