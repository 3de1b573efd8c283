#pragma once

#include <QObject>
#include <QPointer>

#include <deque>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace velmora {

class GuiProgress;
class Library;
class MessageBoxes;
class ShellBridge;
class TaskbarStandIn;

struct MainLockParts {
    QWidget* mainWindow = nullptr;   // hidden while locked; the password form's parent
    Library* library = nullptr;
    MessageBoxes* boxes = nullptr;
    GuiProgress* progress = nullptr;   // a running operation's window goes with the lock
    ShellBridge* shellBridge = nullptr;
    // The password gate's test (the window's VerifyPassword, which also recovers).
    std::function<bool(const std::string&)> verifyPassword;
    // The slideshow window and the player let go of the library's items.
    std::function<void()> withdrawSlideshow;
    std::function<void()> lockPlayer;
    // Cancel at the unlock prompt ends the program.
    std::function<void(int exitCode)> endProgram;
};

// The start-up gate, the lock ("Lock System") and the unlock prompt on the next
// activation; and the hand-overs, which wait for the password and then run one after
// another from the event loop.
class MainLock : public QObject {
    Q_OBJECT
public:
    explicit MainLock(MainLockParts parts);
    ~MainLock() override;

    // Shows the password form modally; true when the password was accepted.
    bool RunPasswordForm();
    // The start-up gate while the window is still hidden. True when the password was
    // accepted; hand-overs that arrived meanwhile then run, and are dropped on Cancel.
    bool PasswordGate();
    // The lock and the unlock.
    void doFileBoss();
    void ReActivate();
    // A second start asks for the program: the unlock prompt when locked, else the
    // password form if it is open, else the window.
    void BringToFront();

    bool Locked() const { return m_locked; }
    TaskbarStandIn* StandIn() const { return m_standIn.get(); }

    // A hand-over arrives inside the read handler of its connection; it runs from the
    // event loop instead, in the order it came, never nested, never while locked.
    void QueueHandOver(std::function<void()> job);
    bool HandOverPending() const { return m_runningHandOver || !m_handOverJobs.empty(); }

private:
    // The password was accepted: the lock ends and hand-overs that waited run.
    void Unlock();
    void RunHandOverJobs();

    MainLockParts m_parts;
    std::unique_ptr<TaskbarStandIn> m_standIn;   // a window of its own: the taskbar lists it
    bool m_locked = false;
    bool m_unlockPending = false;       // the next activation runs ReActivate
    QPointer<QWidget> m_passwordForm;   // the gate or the unlock prompt while it is open
    std::deque<std::function<void()>> m_handOverJobs;
    bool m_runningHandOver = false;
};

} // namespace velmora
