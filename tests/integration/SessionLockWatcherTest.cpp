// The desktop's lock and sleep signals, from a fake logind and screen saver on buses
// of the test's own.
#include "integration/SessionLockWatcher.h"
#include "platform/SettingsStore.h"

#include "platform/PlatformTestSupport.h"
#include "support/PrivateBus.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <functional>
#include <memory>

namespace velmora {
namespace {

using test::ProcessEventsUntil;
using test::ScopedEnv;
using test::TempDir;

const QString kOurSession = QStringLiteral("/org/freedesktop/login1/session/_37");
const QString kOtherSession = QStringLiteral("/org/freedesktop/login1/session/_2");

// logind's manager as far as the watcher asks it: which session is this one.
class FakeManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
    QString asked;
public slots:
    QDBusObjectPath GetSession(const QString& id)
    {
        asked = id;
        return QDBusObjectPath(kOurSession);
    }
};

QDBusMessage Signal(const QString& path, const QString& interface, const QString& name, const QVariantList& args)
{
    QDBusMessage message = QDBusMessage::createSignal(path, interface, name);
    message.setArguments(args);
    return message;
}

QDBusMessage SleepSignal(bool start)
{
    return Signal(QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
                  QStringLiteral("PrepareForSleep"), {start});
}
QDBusMessage LockSignal(const QString& session)
{
    return Signal(session, QStringLiteral("org.freedesktop.login1.Session"), QStringLiteral("Lock"), {});
}
QDBusMessage ScreenSaverSignal(const char* path, const char* interface, bool active)
{
    return Signal(QString::fromLatin1(path), QString::fromLatin1(interface), QStringLiteral("ActiveChanged"),
                  {active});
}

class SessionLockWatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::CoreApplication();
        ASSERT_TRUE(logind.isConnected());
        ASSERT_TRUE(saver.isConnected());
        ASSERT_TRUE(logind.registerObject(QStringLiteral("/org/freedesktop/login1"), &manager,
                                          QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
        ASSERT_TRUE(saver.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        ASSERT_TRUE(saver.registerService(QStringLiteral("org.gnome.ScreenSaver")));
    }
    void TearDown() override
    {
        watcher.reset();
        for (const QDBusConnection& c : {logind, saver, impostor, watcherSystem, watcherSession})
            QDBusConnection::disconnectFromBus(c.name());
    }

    void StartWatcher()
    {
        watcher = std::make_unique<SessionLockWatcher>(watcherSystem, watcherSession);
        QObject::connect(watcher.get(), &SessionLockWatcher::LockRequested, [this] { ++locks; });
        ASSERT_TRUE(ProcessEventsUntil([this] { return !watcher->SessionPath().isEmpty(); }));
        EXPECT_EQ(watcher->SessionPath(), kOurSession);
    }

    // Sends what should not lock, then (from the real service) what must: exactly one
    // lock shows that the first did nothing. Messages reach the watcher in the order
    // the bus took them; the round trip makes sure it took the first ones first.
    int LocksAfter(QDBusConnection& from, const std::vector<QDBusMessage>& first)
    {
        locks = 0;
        for (const QDBusMessage& message : first)
            from.send(message);
        from.interface()->serviceOwner(QStringLiteral("org.freedesktop.DBus"));   // round trip
        logind.send(SleepSignal(true));
        ProcessEventsUntil([this] { return locks > 0; });
        test::DrainEvents();
        return locks;
    }

    test::PrivateBus systemBus;
    test::PrivateBus sessionBus;
    QDBusConnection logind = QDBusConnection::connectToBus(systemBus.Address(), QStringLiteral("fake-logind"));
    QDBusConnection impostor = QDBusConnection::connectToBus(systemBus.Address(), QStringLiteral("impostor"));
    QDBusConnection saver = QDBusConnection::connectToBus(sessionBus.Address(), QStringLiteral("fake-saver"));
    QDBusConnection watcherSystem =
        QDBusConnection::connectToBus(systemBus.Address(), QStringLiteral("watcher-system"));
    QDBusConnection watcherSession =
        QDBusConnection::connectToBus(sessionBus.Address(), QStringLiteral("watcher-session"));
    FakeManager manager;
    std::unique_ptr<SessionLockWatcher> watcher;
    int locks = 0;

    TempDir config;
    ScopedEnv xdgConfig{"XDG_CONFIG_HOME", config.str()};
    ScopedEnv sessionId{"XDG_SESSION_ID", std::nullopt};
};

TEST_F(SessionLockWatcherTest, LockSleepAndScreenSaverLockTheLibrary)
{
    StartWatcher();
    EXPECT_EQ(manager.asked, QStringLiteral("auto"));
    struct Case {
        const char* what;
        QDBusConnection* from;
        QDBusMessage signal;
    };
    const std::vector<Case> cases = {
        {"our session locks", &logind, LockSignal(kOurSession)},
        {"the machine goes to sleep", &logind, SleepSignal(true)},
        {"the freedesktop screen saver starts", &saver,
         ScreenSaverSignal("/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver", true)},
        {"the screen saver at its short path", &saver,
         ScreenSaverSignal("/ScreenSaver", "org.freedesktop.ScreenSaver", true)},
        {"GNOME's screen saver starts", &saver,
         ScreenSaverSignal("/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", true)},
    };
    for (const Case& c : cases) {
        locks = 0;
        c.from->send(c.signal);
        EXPECT_TRUE(ProcessEventsUntil([this] { return locks > 0; })) << c.what;
        test::DrainEvents();
        EXPECT_EQ(locks, 1) << c.what;
    }
}

TEST_F(SessionLockWatcherTest, WakingUnlockingOtherSessionsAndOtherSendersDoNothing)
{
    StartWatcher();
    EXPECT_EQ(LocksAfter(logind, {SleepSignal(false), LockSignal(kOtherSession)}), 1);
    EXPECT_EQ(LocksAfter(saver, {ScreenSaverSignal("/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
                                                   false)}),
              1);
    // Anyone on the bus can send a signal that looks like logind's: only the owner of
    // logind's name counts.
    EXPECT_EQ(LocksAfter(impostor, {SleepSignal(true), LockSignal(kOurSession)}), 1);
}

TEST_F(SessionLockWatcherTest, TheUserCanSwitchItOff)
{
    StartWatcher();
    {
        SettingsStore store;
        EXPECT_TRUE(SessionLockWatcher::LockOnScreenLock(store));   // on unless switched off
        store.WriteBool(SettingsStore::kSettings, "LockOnScreenLock", false);
        store.Flush();
    }
    logind.send(SleepSignal(true));
    logind.send(LockSignal(kOurSession));
    logind.interface()->serviceOwner(QStringLiteral("org.freedesktop.DBus"));
    test::DrainEvents();
    EXPECT_EQ(locks, 0);
    {
        SettingsStore store;
        store.WriteBool(SettingsStore::kSettings, "LockOnScreenLock", true);
        store.Flush();
    }
    logind.send(SleepSignal(true));
    EXPECT_TRUE(ProcessEventsUntil([this] { return locks == 1; }));
}

TEST_F(SessionLockWatcherTest, TheSessionNamedInTheEnvironmentIsAsked)
{
    ScopedEnv id("XDG_SESSION_ID", "37");
    StartWatcher();
    EXPECT_EQ(manager.asked, QStringLiteral("37"));
}

TEST(SessionLockWatcherWithoutBusesTest, NoBusMeansNoSignalsAndNoTrouble)
{
    test::CoreApplication();
    SessionLockWatcher watcher{QDBusConnection(QString()), QDBusConnection(QString())};
    test::DrainEvents();
    EXPECT_TRUE(watcher.SessionPath().isEmpty());
}

} // namespace
} // namespace velmora

#include "SessionLockWatcherTest.moc"
