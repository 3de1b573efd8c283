// The start-up gate, the lock ("Lock System") and the unlock prompt on the next
// activation.
#include "app/MainLock.h"

#include "app/LogCategories.h"
#include "app/TaskbarStandIn.h"
#include "dialogs/ApplicationTitle.h"
#include "dialogs/GuiProgress.h"
#include "dialogs/PasswordForm.h"
#include "integration/ShellBridge.h"
#include "store/Library.h"

#include <QWidget>

#include <exception>

namespace velmora {

namespace {
constexpr const char* kLockedTitle = "Password Protected Program";
}

MainLock::MainLock(MainLockParts parts) : m_parts(std::move(parts)), m_standIn(std::make_unique<TaskbarStandIn>())
{
    connect(m_standIn.get(), &TaskbarStandIn::Activated, this, &MainLock::ReActivate, Qt::QueuedConnection);
}

MainLock::~MainLock() = default;

bool MainLock::RunPasswordForm()
{
    TfrmPassword::Entry entry = TfrmPassword::Entry::Password;
    try {
        if (!m_parts.library->HasPassword())
            entry = TfrmPassword::Entry::FirstPassword;
    } catch (const std::exception&) {
        // An options row that cannot be read refuses every password at the test itself.
    }
    TfrmPassword form([this](const std::string& password) { return m_parts.verifyPassword(password); },
                      *m_parts.boxes, m_parts.mainWindow, entry);
    m_passwordForm = &form;
    return form.exec() == QDialog::Accepted;
}

bool MainLock::PasswordGate()
{
    m_locked = true;
    if (!RunPasswordForm()) {
        // Nothing handed over meanwhile is done: the program ends.
        m_handOverJobs.clear();
        return false;
    }
    Unlock();
    m_parts.shellBridge->LibraryOpened();
    return true;
}

void MainLock::Unlock()
{
    m_locked = false;
    // From the event loop: the window is shown first.
    if (!m_handOverJobs.empty())
        QMetaObject::invokeMethod(this, &MainLock::RunHandOverJobs, Qt::QueuedConnection);
}

void MainLock::doFileBoss()
{
    ApplicationTitle::Set(QString::fromLatin1(kLockedTitle));
    m_parts.withdrawSlideshow();
    m_parts.progress->CancelProgress();
    // The operation goes on to its next check (a big file is stored whole first): its
    // window, which names the file, goes now.
    m_parts.progress->Withdraw();
    m_parts.shellBridge->LibraryLocked();
    m_parts.lockPlayer();
    m_parts.mainWindow->hide();
    m_locked = true;
    m_unlockPending = true;
    m_standIn->ShowMinimised();
}

void MainLock::ReActivate()
{
    if (!m_unlockPending)
        return;
    m_unlockPending = false;
    m_standIn->Withdraw();

    if (!RunPasswordForm()) {
        // Cancel ends the program at once, without the closing checks; what was handed
        // over while locked is not done.
        m_handOverJobs.clear();
        m_parts.endProgram(0);
        return;
    }
    m_parts.shellBridge->LibraryUnlocked();
    // Showing the window runs FormShow again: the placement is restored, the tree kept.
    QWidget* window = m_parts.mainWindow;
    window->show();
    window->raise();
    window->activateWindow();
    // An operation that still runs shows its window again, over the main window.
    m_parts.progress->Restore();
    Unlock();
}

void MainLock::BringToFront()
{
    qCDebug(lcHandOver, "bring to front");
    // A locked program is brought back as from the taskbar: the unlock prompt first
    // (from the event loop, as an activation would run it).
    if (m_unlockPending) {
        QMetaObject::invokeMethod(this, &MainLock::ReActivate, Qt::QueuedConnection);
        return;
    }
    // While the gate or the unlock prompt is open, that is what comes to the front.
    QWidget* front = m_passwordForm ? m_passwordForm.data() : m_parts.mainWindow;
    if (!front->isVisible())
        return;   // windowless modes
    if (front->isMinimized())
        front->setWindowState(front->windowState() & ~Qt::WindowMinimized);
    front->raise();
    front->activateWindow();
}

// Adding runs the progress window, which processes events, and the connection a
// hand-over came on may close and go while its handler is still running; so the work
// runs from the event loop, one piece at a time in the order it came (files, then
// archives), never nested.
void MainLock::QueueHandOver(std::function<void()> job)
{
    m_handOverJobs.push_back(std::move(job));
    QMetaObject::invokeMethod(this, &MainLock::RunHandOverJobs, Qt::QueuedConnection);
}

void MainLock::RunHandOverJobs()
{
    if (m_runningHandOver)
        return;   // the running pass takes the new job after its current one
    // Locked: nothing of a hand-over runs before the password; the unlock runs them.
    if (m_locked)
        return;
    m_runningHandOver = true;
    while (!m_handOverJobs.empty() && !m_locked) {
        const std::function<void()> job = std::move(m_handOverJobs.front());
        m_handOverJobs.pop_front();
        try {
            job();
        } catch (const std::exception&) {
            // Dropped like every error no operation reports; the next piece still runs.
        }
    }
    m_runningHandOver = false;
}

} // namespace velmora
