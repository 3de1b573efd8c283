#pragma once

#include <QWidget>

namespace velmora {

// What the taskbar shows while the program is locked. On this desktop a hidden window
// leaves no taskbar entry, so the locked program keeps this small window minimised in
// its place: it carries the application title ("Password Protected Program") and shows
// nothing of the library. Restoring it from the taskbar is the program's activation;
// so is a click on it or Enter, which is all there is without a window manager, where
// the window simply stays on the screen.
class TaskbarStandIn : public QWidget {
    Q_OBJECT
public:
    explicit TaskbarStandIn(QWidget* parent = nullptr);

    // Shows the window minimised and waits for the user to restore it.
    void ShowMinimised();
    // Hides it; no activation is reported until the next ShowMinimised.
    void Withdraw();

signals:
    // The user brought the program back (once per ShowMinimised).
    void Activated();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Report();

    bool m_waiting = false;
};

} // namespace velmora
