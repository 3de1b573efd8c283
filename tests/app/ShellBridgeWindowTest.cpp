// The main window behind the file managers' entry: calls of the automation object on a
// bus of the test's own reach the open library, the control window comes and goes
// with the gate, the lock and the settings, and the desktop's lock locks the library.
#include "app/MainWindow.h"
#include "dialogs/ApplicationTitle.h"
#include "dialogs/PasswordForm.h"
#include "integration/ShellBridge.h"
#include "integration/ShellControlForm.h"
#include "integration/TnApp.h"
#include "platform/SettingsStore.h"
#include "platform/WindowMessages.h"
#include "store/Query.h"

#include "app/MainWindowSession.h"
#include "support/PrivateBus.h"
#include "support/TestSupport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <filesystem>
#include <memory>

using namespace velmora;
using velmora::test::kPassword;
using velmora::test::Session;
using velmora::test::WhenPasswordPromptOpens;

namespace {

namespace fs = std::filesystem;
constexpr int kCallGuardMs = 30000;

std::int64_t Scalar(TfrmMain& main, const std::string& sql)
{
    db::Query query(main.MainLibrary().MainConnection(), "Select (" + sql + ") as v");
    return query.AsInteger("v");
}

void Answer(TfrmPassword& form)
{
    form.txtPass->setText(QLatin1String(kPassword));
    form.btnOKClick();
}

void WriteShellSettings(const std::string& text, bool enabled)
{
    SettingsStore store;
    store.WriteString(SettingsStore::kSettings, "shellextext", text);
    store.WriteBool(SettingsStore::kSettings, "shellextenb", enabled);
    store.Flush();
}

// The program's window over a fresh library with its automation object on a private
// bus, and a caller on the same bus.
struct BusSession {
    QTemporaryDir runtime;
    Session session;
    test::PrivateBus bus;
    QDBusConnection server = QDBusConnection::connectToBus(bus.Address(), QStringLiteral("window-test-server"));
    QDBusConnection client = QDBusConnection::connectToBus(bus.Address(), QStringLiteral("window-test-client"));
    std::unique_ptr<TtnApp> tnApp;

    BusSession() { qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8()); }
    ~BusSession()
    {
        tnApp.reset();
        QDBusConnection::disconnectFromBus(server.name());
        QDBusConnection::disconnectFromBus(client.name());
    }

    // The window behind the start-up gate, with the automation object offered.
    TfrmMain& OpenThroughTheGate()
    {
        TfrmMain& main = session.Open();
        tnApp = std::make_unique<TtnApp>(main);
        if (!tnApp->Register(server))
            qFatal("the automation object was not offered on the test's bus");
        WhenPasswordPromptOpens(Answer);
        if (!main.PasswordGate())
            qFatal("the gate did not open");
        session.ShowAndActivate();
        return main;
    }

    QDBusPendingCall AddFiles(const QString& spec)
    {
        QDBusMessage call = QDBusMessage::createMethodCall(kAutomationService, kAutomationPath,
                                                           kAutomationInterface, QStringLiteral("AddFiles"));
        call << spec;
        return client.asyncCall(call, kCallGuardMs);
    }

    QString MenuCaption()
    {
        QDBusMessage get = QDBusMessage::createMethodCall(kAutomationService, kAutomationPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QString::fromLatin1(kAutomationInterface) << QStringLiteral("MenuCaption");
        QDBusPendingCall pending = client.asyncCall(get, kCallGuardMs);
        if (!QTest::qWaitFor([&] { return pending.isFinished(); }, kCallGuardMs) || pending.isError())
            return QStringLiteral("<no answer>");
        return qvariant_cast<QDBusVariant>(pending.reply().arguments().front()).variant().toString();
    }
};

} // namespace

class ShellBridgeWindowTest : public QObject {
    Q_OBJECT
private slots:
    void addFilesAddsAFoldersMediaAsTheSettingsSay_data();
    void addFilesAddsAFoldersMediaAsTheSettingsSay();
    void menuCaptionIsTheAppliedText();
    void controlWindowFollowsGateLockUnlockAndSettings();
    void aLockedProgramAnswersAtOnceAndAddsAfterThePassword();
    void desktopLockLocksOnlyAnOpenShownLibrary();
};

void ShellBridgeWindowTest::addFilesAddsAFoldersMediaAsTheSettingsSay_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("deleteShellSources");
    QTest::addColumn<int>("items");
    QTest::addColumn<bool>("sourcesKept");
    QTest::newRow("enabled") << true << false << 2 << true;
    QTest::newRow("enabled, sources deleted by default") << true << true << 2 << false;
    // Refused, so that the file manager's side can tell the user.
    QTest::newRow("disabled adds nothing") << false << true << 0 << true;
}

void ShellBridgeWindowTest::addFilesAddsAFoldersMediaAsTheSettingsSay()
{
    QFETCH(bool, enabled);
    QFETCH(bool, deleteShellSources);
    QFETCH(int, items);
    QFETCH(bool, sourcesKept);

    BusSession s;
    QVERIFY(!s.bus.Address().isEmpty());
    TfrmMain& main = s.OpenThroughTheGate();
    main.MainLibrary().MainConnection().Execute(deleteShellSources ? "Update options set opt_condelete = 1"
                                                                   : "Update options set opt_condelete = 0");
    // As the Settings page leaves it.
    WriteShellSettings("Add To Velmora", enabled);
    main.ShellExtension().SettingsApplied();

    QTemporaryDir files;
    const fs::path folder = fs::path(files.path().toStdString()) / "Summer 2004";
    fs::create_directories(folder);
    test::WriteFile(folder / "beach.jpg", "sand");
    test::WriteFile(folder / "waves.mp3", "whoosh");
    test::WriteFile(folder / "notes.txt", "not media");

    QDBusPendingCall call = s.AddFiles(QString::fromStdString(folder.string()) + QStringLiteral("\r\n"));
    QVERIFY(QTest::qWaitFor([&] { return call.isFinished(); }, kCallGuardMs));
    if (enabled)
        QVERIFY2(!call.isError(), qPrintable(call.error().message()));
    else
        QCOMPARE(call.error().name(), QLatin1String(kDisabledError));

    QCOMPARE(Scalar(main, "Select count(*) from Record"), std::int64_t(items));
    // A folder becomes a category holding its media.
    QCOMPARE(Scalar(main, "Select count(*) from Category where cat_description = 'Summer 2004'"),
             std::int64_t(items > 0 ? 1 : 0));
    QCOMPARE(Scalar(main, "Select count(*) from RecordCategory join Category on reccat_category = cat_id "
                          "where cat_description = 'Summer 2004'"),
             std::int64_t(items));
    QCOMPARE(fs::exists(folder / "beach.jpg"), sourcesKept);
    QCOMPARE(fs::exists(folder / "waves.mp3"), sourcesKept);
    QVERIFY(fs::exists(folder / "notes.txt"));   // never taken, never deleted
}

void ShellBridgeWindowTest::menuCaptionIsTheAppliedText()
{
    BusSession s;
    TfrmMain& main = s.OpenThroughTheGate();
    QCOMPARE(s.MenuCaption(), QStringLiteral("Add To Velmora"));
    WriteShellSettings("Ins Versteck legen", true);
    QCOMPARE(s.MenuCaption(), QStringLiteral("Add To Velmora"));   // stored, not applied
    main.ShellExtension().SettingsApplied();
    QCOMPARE(s.MenuCaption(), QStringLiteral("Ins Versteck legen"));
}

void ShellBridgeWindowTest::controlWindowFollowsGateLockUnlockAndSettings()
{
    for (const bool enabled : {true, false}) {
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        Session session;
        WriteShellSettings("Add To Velmora", enabled);
        TfrmMain& main = session.Open();
        QVERIFY(!FindWindow(kShellControlCaption));   // not before the gate
        WhenPasswordPromptOpens(Answer);
        QVERIFY(main.PasswordGate());
        session.ShowAndActivate();
        QCOMPARE(FindWindow(kShellControlCaption), enabled);

        main.actFileBoss->trigger();
        QVERIFY(!FindWindow(kShellControlCaption));
        WhenPasswordPromptOpens(Answer);
        main.ReActivate();
        QVERIFY(!main.Locked());
        QCOMPARE(FindWindow(kShellControlCaption), enabled);

        // The Settings page switches it.
        WriteShellSettings("Add To Velmora", !enabled);
        main.ShellExtension().SettingsApplied();
        QCOMPARE(FindWindow(kShellControlCaption), !enabled);
    }
}

void ShellBridgeWindowTest::aLockedProgramAnswersAtOnceAndAddsAfterThePassword()
{
    BusSession s;
    TfrmMain& main = s.OpenThroughTheGate();
    QTemporaryDir files;
    const std::string photo = files.filePath(QStringLiteral("photo.jpg")).toStdString();
    test::WriteFile(photo, "photo bytes");
    main.actFileBoss->trigger();
    QVERIFY(main.Locked());

    QDBusPendingCall call = s.AddFiles(QString::fromStdString(photo));
    QVERIFY(QTest::qWaitFor([&] { return call.isFinished(); }, kCallGuardMs));
    QVERIFY2(!call.isError(), qPrintable(call.error().message()));
    QCOMPARE(Scalar(main, "Select count(*) from Record"), std::int64_t(0));

    WhenPasswordPromptOpens(Answer);
    main.ReActivate();
    QTRY_COMPARE(Scalar(main, "Select count(*) from Record"), std::int64_t(1));
}

void ShellBridgeWindowTest::desktopLockLocksOnlyAnOpenShownLibrary()
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    Session session;
    TfrmMain& main = session.Open();
    // Before the gate (and in the windowless modes) there is nothing to lock.
    main.SessionLockRequested();
    QVERIFY(!main.Locked());
    QVERIFY(!main.isVisible());

    WhenPasswordPromptOpens(Answer);
    QVERIFY(main.PasswordGate());
    session.ShowAndActivate();
    main.SessionLockRequested();
    QVERIFY(main.Locked());
    QVERIFY(!main.isVisible());
    QCOMPARE(ApplicationTitle::Text(), QStringLiteral("Password Protected Program"));

    // A second signal while locked changes nothing: one password brings it back.
    main.SessionLockRequested();
    WhenPasswordPromptOpens(Answer);
    main.ReActivate();
    QVERIFY(!main.Locked());
    QVERIFY(main.isVisible());
}

QTEST_MAIN(ShellBridgeWindowTest)
#include "ShellBridgeWindowTest.moc"
