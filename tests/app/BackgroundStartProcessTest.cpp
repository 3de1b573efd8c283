// The start the session bus makes for the file managers' entry, as the user meets it: a
// real bus of the test's own that starts the program from its activation file, an X
// server of the test's own for what shows, and the shipped helper the entry runs. The
// windowless process ends when its work is done, never holds up a caller or a later
// start, and tells what it could not do.
#include "integration/AutomationRegistration.h"
#include "platform/InstanceLock.h"

#include "app/ProgramProcessFixture.h"
#include "platform/PlatformTestSupport.h"
#include "support/PrivateBus.h"
#include "support/XDesktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace velmora;
using namespace velmora::test;

namespace {

const QString kGate = QStringLiteral("^Password Protected$");
const QString kTitled = QStringLiteral("^Velmora$");   // the main window and the message boxes
const QString kAdding = QStringLiteral("^Adding Files$");

// The desktop's notification service, as far as the helper uses it: every Notify call
// is kept.
class FakeNotifications : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override
    {
        if (message.member() != QLatin1String("Notify") || message.arguments().size() < 5)
            return false;
        bodies.push_back(message.arguments().at(4).toString());
        connection.send(message.createReply(QVariant::fromValue(1u)));
        return true;
    }
    std::vector<QString> bodies;
};

class BackgroundStartProcessTest : public ProgramProcessFixture {
protected:
    void SetUp() override
    {
        ProgramProcessFixture::SetUp();
        ASSERT_FALSE(desktop.Display().isEmpty()) << "Xvfb could not be started";
        ASSERT_FALSE(bus->Address().isEmpty()) << "no bus daemon";
        fs::create_directories(config / "Velmora");
        WriteFile(config / "Velmora" / "Velmora.ini",
                  "[Screen]\nTop=0\nLeft=0\nWidth=800\nHeight=600\nMaximized=0\n\n"
                  "[Settings]\nBackground Monitor=0\n");
        MakeLibrary(library.path());
        RegisterForActivation(library.path());
    }

    // What the bus gives the programs it starts, and what the others get too.
    QProcessEnvironment DesktopEnvironment() const
    {
        QProcessEnvironment env = desktop.Environment(ProgramProcessFixture::Environment());
        env.insert("XDG_DATA_DIRS", QString::fromStdString(data.str()));
        return env;
    }
    QProcessEnvironment Environment() const override
    {
        QProcessEnvironment env = DesktopEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus->Address());
        return env;
    }

    // The activation file starts the program on folder, as "-regserver" writes it.
    void RegisterForActivation(const fs::path& folder)
    {
        const fs::path starter = runtime / "start velmora";
        WriteFile(starter, "#!/bin/sh\nexec '" + (BinDir() / "velmora").string() + "' \"$@\" '" + folder.string() + "'\n");
        fs::permissions(starter, fs::perms::owner_all);
        const fs::path file = data / "dbus-1" / "services" / "Tarnel.tnApp.service";
        fs::create_directories(file.parent_path());
        WriteFile(file, AutomationRegistration::ActivationFileText(starter.string()));
    }

    // The file managers' entry for these paths.
    ProcessResult AddFromFileManager(const QStringList& paths)
    {
        return RunCommand(QString::fromStdString((BinDir() / "velmora-add-files").string()), paths);
    }

    // Runs gdbus on the test's bus.
    ProcessResult Gdbus(const QStringList& arguments) { return RunCommand("gdbus", arguments); }

    // True once no velmora holds the instance lock (or the guard passed).
    static bool WaitUntilNoInstanceRuns()
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (!guard.hasExpired()) {
            if (InstanceLock lock; lock.IsHeld())
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    // The windowless start with its library, once it has the bus name.
    void StartForTheBus()
    {
        StartFirst({"-embedding", QString::fromStdString(library.str())});
        const auto waited = Gdbus({"wait", "--session", "--timeout", "60", "Tarnel.tnApp"});
        ASSERT_EQ(waited.exitCode, 0) << waited.err << FirstOutput();
    }

    XDesktop desktop;
    std::unique_ptr<PrivateBus> bus = std::make_unique<PrivateBus>(DesktopEnvironment());
};

TEST_F(BackgroundStartProcessTest, AStartForTheBusShowsNothingAndEndsWhenNoCallComesOrOnlyTheMenuTextIsRead)
{
    // No call at all.
    StartForTheBus();
    EXPECT_TRUE(desktop.VisibleWindowsOf(first.processId()).isEmpty());
    EXPECT_TRUE(desktop.VisibleWindows(kGate).isEmpty());
    EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;

    // Only the menu text read, as a file manager's menu does.
    StartForTheBus();
    const auto caption = Gdbus({"call", "--session", "--dest", "Tarnel.tnApp", "--object-path", "/tnApp", "--method",
                                "org.freedesktop.DBus.Properties.Get", "Tarnel.ItnApp", "MenuCaption"});
    EXPECT_EQ(caption.exitCode, 0) << caption.err;
    EXPECT_EQ(caption.out, "(<'Add To Velmora'>,)\n");
    EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;
    EXPECT_TRUE(WaitUntilNoInstanceRuns());
}

TEST_F(BackgroundStartProcessTest, AStartForTheBusEndsWhenItsBusGoes)
{
    StartForTheBus();
    bus.reset();
    EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;
}

TEST_F(BackgroundStartProcessTest, ANormalStartMeetingAStartForTheBusGetsThePasswordGate)
{
    StartForTheBus();
    QProcess normal;
    normal.setProcessEnvironment(Environment());
    normal.start(Program(), {QString::fromStdString(library.str())});
    ASSERT_TRUE(normal.waitForStarted(kHangGuardMs));

    const auto gate = desktop.WaitForWindow(kGate);
    EXPECT_TRUE(gate) << FirstOutput();
    // The windowless one made way for it.
    EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;
    if (gate) {
        desktop.Focus(*gate);
        desktop.Type(QString::fromLatin1(kProcessPassword));
        desktop.Key(QStringLiteral("Return"));
        EXPECT_TRUE(desktop.WaitForWindow(kTitled)) << "no main window after the gate";
    }
    normal.kill();
    normal.waitForFinished(kHangGuardMs);
}

TEST_F(BackgroundStartProcessTest, ALibraryThatCannotOpenIsToldToEveryCallerAtOnce)
{
    const fs::path broken = files / "broken library";
    fs::create_directories(broken);
    WriteFile(broken / "tndb.mdb", "this is no database");
    RegisterForActivation(broken);
    WriteFile(files / "photo.jpg", "photo bytes");

    // The caller that started it and the next one both hear why, without waiting on a
    // message nobody sees.
    for (int call = 0; call < 2; ++call) {
        const auto added = AddFromFileManager({"photo.jpg"});
        EXPECT_NE(added.exitCode, 0);
        EXPECT_NE(added.err.find("Unable to connect to Velmora Database."), std::string::npos) << added.err;
    }
    EXPECT_TRUE(desktop.VisibleWindows(kTitled).isEmpty());
    EXPECT_TRUE(WaitUntilNoInstanceRuns());
}

TEST_F(BackgroundStartProcessTest, AFailedAddIsAnsweredAtOnceAndItsMessageWaitsOnTopWithoutHoldingUpTheNextCall)
{
    const auto failed = AddFromFileManager({"/nonexistent/a.jpg"});
    EXPECT_NE(failed.exitCode, 0);
    EXPECT_NE(failed.err.find("/nonexistent/a.jpg"), std::string::npos) << failed.err;

    // The message is on the screen, over every other window shown.
    const auto box = desktop.WaitForWindow(kTitled);
    ASSERT_TRUE(box);
    const QStringList order = desktop.StackingOrder();
    ASSERT_TRUE(order.contains(*box));
    for (const QString& other : desktop.VisibleWindows(QStringLiteral(".*"))) {
        if (other != *box && order.contains(other)) {
            EXPECT_LT(order.indexOf(*box), order.indexOf(other))
                << desktop.TextProperty(other, "WM_NAME").value_or(other).toStdString();
        }
    }

    // A further call goes ahead while the message waits for the user.
    WriteFile(files / "photo.jpg", "photo bytes");
    const auto added = AddFromFileManager({"photo.jpg"});
    EXPECT_EQ(added.exitCode, 0) << added.err;
    EXPECT_EQ(ItemNames(library.path()), std::vector<std::string>{"photo.jpg"});

    // The process stays while the message does, and goes once the user has read it.
    {
        const InstanceLock lock;
        EXPECT_FALSE(lock.IsHeld());
    }
    desktop.Focus(*box);
    desktop.Key(QStringLiteral("Return"));
    EXPECT_TRUE(desktop.WaitUntilGone(kTitled));
    EXPECT_TRUE(WaitUntilNoInstanceRuns());
}

TEST_F(BackgroundStartProcessTest, AWindowlessAddsProgressWindowIsInTheMiddleOfTheScreen)
{
    // The second call reaches the process the first one started, which has the
    // library key by then.
    WriteFile(files / "photo.jpg", "photo bytes");
    ASSERT_EQ(AddFromFileManager({"photo.jpg"}).exitCode, 0);
    const fs::path movie = files / "long.mpg";
    {
        std::ofstream out(movie, std::ios::binary);
        out.seekp(100 * 1000 * 1000 - 1);
        out.put('\0');
    }
    QProcess second;
    second.setProcessEnvironment(Environment());
    second.start(QString::fromStdString((BinDir() / "velmora-add-files").string()),
                 {QString::fromStdString(movie.string())});
    ASSERT_TRUE(second.waitForStarted(kHangGuardMs));

    const auto progress = desktop.WaitForWindow(kAdding);
    ASSERT_TRUE(progress) << "no progress window";
    const XDesktop::Geometry at = desktop.WindowGeometry(*progress);
    // The screen is 1280 x 800 and has no panels.
    EXPECT_NEAR(at.x + at.width / 2, 640, 2) << at.x << "," << at.y;
    EXPECT_NEAR(at.y + at.height / 2, 400, 2) << at.x << "," << at.y;

    ASSERT_TRUE(second.waitForFinished(kHangGuardMs * 3));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
}

TEST_F(BackgroundStartProcessTest, TheEntrySwitchedOffInTheSettingsTellsTheUser)
{
    WriteFile(config / "Velmora" / "Velmora.ini",
              "[Screen]\nTop=0\nLeft=0\nWidth=800\nHeight=600\nMaximized=0\n\n"
              "[Settings]\nBackground Monitor=0\nshellextenb=0\n");
    StartFirst({QString::fromStdString(library.str())});
    const auto gate = desktop.WaitForWindow(kGate);
    ASSERT_TRUE(gate) << FirstOutput();
    desktop.Focus(*gate);
    desktop.Type(QString::fromLatin1(kProcessPassword));
    desktop.Key(QStringLiteral("Return"));
    ASSERT_TRUE(desktop.WaitForWindow(kTitled)) << FirstOutput();

    // The desktop's notification service, on the same bus.
    CoreApplication();
    QDBusConnection service = QDBusConnection::connectToBus(bus->Address(), QStringLiteral("notifications"));
    FakeNotifications notifications;
    ASSERT_TRUE(service.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &notifications));
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));

    WriteFile(files / "photo.jpg", "photo bytes");
    QProcess helper;
    helper.setProcessEnvironment(Environment());
    helper.setWorkingDirectory(QString::fromStdString(files.str()));
    helper.start(QString::fromStdString((BinDir() / "velmora-add-files").string()), {"photo.jpg"});
    const QDeadlineTimer guard(kHangGuardMs);
    while (!helper.waitForFinished(20) && !guard.hasExpired())
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_NE(helper.exitCode(), 0);
    ASSERT_EQ(notifications.bodies.size(), 1u) << helper.readAllStandardError().toStdString();
    EXPECT_TRUE(notifications.bodies.front().contains(QLatin1String("switched off"))) << notifications.bodies.front().toStdString();
    EXPECT_TRUE(ItemNames(library.path()).empty());

    service.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(service.name());
}

} // namespace
