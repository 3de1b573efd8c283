#include "integration/SessionLockWatcher.h"

#include "platform/SettingsStore.h"
#include "settings/RegistryValues.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace velmora {

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");

// The screen savers that announce themselves on the session bus: the freedesktop one
// (KDE and others) and GNOME's, at the paths they emit from.
struct ScreenSaver {
    const char* service;
    const char* path;
    const char* interface;
};
constexpr ScreenSaver kScreenSavers[] = {
    {"org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.freedesktop.ScreenSaver", "/ScreenSaver", "org.freedesktop.ScreenSaver"},
    {"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver"},
};

} // namespace

SessionLockWatcher::SessionLockWatcher(QDBusConnection system, QDBusConnection session, QObject* parent)
    : QObject(parent)
    , m_system(std::move(system))
    , m_session(std::move(session))
{
    // Signals are taken only from the owner of the well-known name, so no other
    // client on the bus can lock the program.
    if (m_system.isConnected()) {
        m_system.connect(kLogind, kLogindPath, kManager, QStringLiteral("PrepareForSleep"), this,
                         SLOT(PrepareForSleep(bool)));
        FindSession();
    }
    if (m_session.isConnected()) {
        for (const ScreenSaver& saver : kScreenSavers)
            m_session.connect(QString::fromLatin1(saver.service), QString::fromLatin1(saver.path),
                              QString::fromLatin1(saver.interface), QStringLiteral("ActiveChanged"), this,
                              SLOT(ActiveChanged(bool)));
    }
}

bool SessionLockWatcher::LockOnScreenLock(const SettingsStore& store)
{
    return registry::kLockOnScreenLock.Read(store);
}

void SessionLockWatcher::FindSession()
{
    // The session named in the environment, else the one logind picks for this
    // process ("auto": its own, or the user's graphical session for a program that
    // the desktop started outside any session).
    QString id = qEnvironmentVariable("XDG_SESSION_ID");
    if (id.isEmpty())
        id = QStringLiteral("auto");
    QDBusMessage call = QDBusMessage::createMethodCall(kLogind, kLogindPath, kManager, QStringLiteral("GetSession"));
    call << id;
    // Not waited for: a missing or slow logind must not hold up the start.
    auto* watcher = new QDBusPendingCallWatcher(m_system.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *done;
        if (reply.isError())
            return;
        m_sessionPath = reply.value().path();
        m_system.connect(kLogind, m_sessionPath, kSession, QStringLiteral("Lock"), this, SLOT(Lock()));
        emit SessionFound();
    });
}

void SessionLockWatcher::Request()
{
    // Read at the moment: the Settings page may have changed it since the start.
    if (LockOnScreenLock(SettingsStore()))
        emit LockRequested();
}

void SessionLockWatcher::Lock()
{
    Request();
}

void SessionLockWatcher::PrepareForSleep(bool start)
{
    // Sent again with false on waking; only going to sleep locks.
    if (start)
        Request();
}

void SessionLockWatcher::ActiveChanged(bool active)
{
    if (active)
        Request();
}

} // namespace velmora
