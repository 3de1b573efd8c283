#pragma once

#include "platform/MessageWindow.h"

#include <QObject>

namespace velmora {

// The running instance's side of the bring-to-front broadcast: listens for the
// registered message "NRXVelmora" and raises BringToFront, which the main window
// connects to showing, raising and activating itself.
class AppWindowHook : public QObject {
    Q_OBJECT
public:
    explicit AppWindowHook(QObject* parent = nullptr);

    // Starts listening; see MessageWindow::Create. Returns false when it cannot.
    bool HookApplicationWindow();

    // The second instance's side: posts the registered message "NRXVelmora" with
    // wParam and lParam 0 to the running instance. Returns whether one was reached.
    static bool ActivateRunningInstance();
    // A start that finds an instance running without a window asks it to end once its
    // work is done, so that the start can run as the first instance. Returns whether
    // one was reached.
    static bool AskRunningInstanceToGiveWay();

signals:
    void BringToFront();
    void GiveWay();

private:
    MessageWindow m_window;
};

} // namespace velmora
