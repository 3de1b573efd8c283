#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace velmora {

class SettingsStore;

// Tells when the desktop wants the screen locked or the machine is going to sleep, so
// the program can lock its library too: logind's "Lock" of this user's session and
// "PrepareForSleep" (system bus), and the screen saver's "ActiveChanged" (session bus).
// A bus, or a service on it, that is not there simply sends nothing.
class SessionLockWatcher : public QObject {
    Q_OBJECT
public:

    // system: where logind is; session: where the screen saver is.
    SessionLockWatcher(QDBusConnection system, QDBusConnection session, QObject* parent = nullptr);

    // The user's choice, "LockOnScreenLock" in the settings (on unless switched off).
    static bool LockOnScreenLock(const SettingsStore& store);
    // logind's path of this user's session, once it is known; empty before.
    const QString& SessionPath() const { return m_sessionPath; }

signals:
    // The library is to be locked now (only while the user's setting asks for it).
    void LockRequested();
    // This user's session has been found on logind (tests wait for it).
    void SessionFound();

private slots:
    void Lock();
    void PrepareForSleep(bool start);
    void ActiveChanged(bool active);

private:
    void FindSession();
    void Request();

    QDBusConnection m_system;
    QDBusConnection m_session;
    QString m_sessionPath;
};

} // namespace velmora
