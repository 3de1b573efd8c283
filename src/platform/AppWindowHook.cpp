#include "platform/AppWindowHook.h"

#include "platform/InstanceLock.h"
#include "platform/WindowMessages.h"

namespace velmora {

AppWindowHook::AppWindowHook(QObject* parent)
    : QObject(parent)
    , m_window(kInstanceName)
{
    connect(&m_window, &MessageWindow::MessageReceived, this,
            [this](quint32 message, quint64, qint64) {
                if (message == RegisterWindowMessage(kInstanceName))
                    emit BringToFront();
            });
}

bool AppWindowHook::HookApplicationWindow()
{
    return m_window.Create();
}

bool AppWindowHook::ActivateRunningInstance()
{
    return PostMessage(kInstanceName, WindowMessage{RegisterWindowMessage(kInstanceName), 0, 0});
}

} // namespace velmora
