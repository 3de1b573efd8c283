#include "platform/AppWindowHook.h"

#include "platform/InstanceLock.h"
#include "platform/WindowMessages.h"

namespace velmora {

namespace {

// Registered like the bring-to-front message, so that no other program's number is taken.
constexpr const char* kGiveWayMessage = "NRXVelmoraGiveWay";

} // namespace

AppWindowHook::AppWindowHook(QObject* parent)
    : QObject(parent)
    , m_window(kInstanceName)
{
    connect(&m_window, &MessageWindow::MessageReceived, this,
            [this](quint32 message, quint64, qint64) {
                if (message == RegisterWindowMessage(kInstanceName))
                    emit BringToFront();
                else if (message == RegisterWindowMessage(kGiveWayMessage))
                    emit GiveWay();
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

bool AppWindowHook::AskRunningInstanceToGiveWay()
{
    return PostMessage(kInstanceName, WindowMessage{RegisterWindowMessage(kGiveWayMessage), 0, 0});
}

} // namespace velmora
