#include "app/Entry.h"

#include "app/BackgroundLifetime.h"
#include "app/CommandLine.h"
#include "app/FirstRun.h"
#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "app/OpenEtaForm.h"
#include "app/ProgramInfo.h"
#include "dialogs/GuiMessageBoxes.h"
#include "dialogs/MessageNotices.h"
#include "dialogs/VelmoraApplication.h"
#include "integration/AutomationRegistration.h"
#include "integration/FileAssociation.h"
#include "integration/FileManagerEntries.h"
#include "integration/PackageRegistration.h"
#include "integration/SessionLockWatcher.h"
#include "integration/TnApp.h"
#include "integration/UserRegistration.h"
#include "platform/AppWindowHook.h"
#include "platform/InstanceLock.h"
#include "store/LibraryFiles.h"
#include "store/NewLibrary.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <iostream>
#include <memory>

namespace velmora {

namespace {

constexpr int kExitCode = 0;
constexpr int kAfterAddingMs = 2000;
// What the running instance's lock file says of it to later starts.
constexpr const char* kWindowMark = "window";
constexpr const char* kWindowlessMark = "windowless";

// A second start: bring the running instance to the front, hand the arguments over.
int RunSecondInstance(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    AppWindowHook::ActivateRunningInstance();
    HandOverToRunningInstance(CommandLine::Arguments(argc, argv));
    return kExitCode;
}

// Lets the progress window's last state be seen before the windowless start ends.
void PauseAfterAdding()
{
    QEventLoop loop;
    QTimer::singleShot(kAfterAddingMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// "-regserver" writes the activation file (a program its package registers needs none,
// and one of the user's would shadow the package's); "-unregserver" removes every file
// the starts wrote for the user. The start ends there. A failure is told, and the exit
// code says so to the script that asked.
int RegisterServerAndEnd(const StartRequest& request, const std::string& program, bool packaged)
{
    try {
        if (request.unregServer)
            UnregisterForUser(true);
        else if (packaged)
            AutomationRegistration::UnregisterServer();
        else
            AutomationRegistration::RegisterServer(program);
    } catch (const std::runtime_error& failure) {
        std::cerr << "velmora: " << failure.what() << '\n';
        return 1;
    }
    return kExitCode;
}

// A start by the bus for the automation object lives while it is called (see
// BackgroundLifetime). The name is given up first, so a call that comes later starts a
// new process instead of reaching one on its way out.
std::unique_ptr<BackgroundLifetime> LiveWhileCalled(TtnApp& tnApp, TfrmMain& frmMain, AppWindowHook& hook)
{
    auto lifetime = std::make_unique<BackgroundLifetime>([&tnApp, &frmMain] {
        return tnApp.PendingCalls() > 0 || frmMain.HandOverPending() || frmMain.Notices().Open() > 0;
    });
    BackgroundLifetime* const watch = lifetime.get();
    QObject::connect(&tnApp, &TtnApp::CallTaken, watch, &BackgroundLifetime::Activity);
    QObject::connect(&tnApp, &TtnApp::LastCallAnswered, watch, &BackgroundLifetime::Activity);
    QObject::connect(&frmMain.Notices(), &MessageNotices::Closed, watch, &BackgroundLifetime::Activity);
    QObject::connect(&tnApp, &TtnApp::BusLost, watch, &BackgroundLifetime::EndWhenIdle);
    QObject::connect(&hook, &AppWindowHook::GiveWay, watch, &BackgroundLifetime::EndWhenIdle);
    QObject::connect(watch, &BackgroundLifetime::Ending, &tnApp, &TtnApp::Unregister);
    QObject::connect(watch, &BackgroundLifetime::Ended, watch, [] { QCoreApplication::exit(kExitCode); });
    if (tnApp.Register(QDBusConnection::sessionBus()))
        watch->Start();
    else
        watch->EndWhenIdle();   // no bus, or the name is another's: nobody can call
    return lifetime;
}

} // namespace

int RunVelmora(int argc, char** argv)
{
    // Asked about, not started: answered on standard output, like any program here.
    switch (InfoRequested(CommandLine::Arguments(argc, argv))) {
    case InfoRequest::Help:
        std::cout << VelmoraUsage();
        return kExitCode;
    case InfoRequest::Version:
        std::cout << "velmora " << ProgramVersion() << '\n';
        return kExitCode;
    case InfoRequest::None:
        break;
    }

    const StartRequest request = CommandLine::Parse(CommandLine::Arguments(argc, argv));
    const bool windowless = request.Mode() != StartMode::Interactive;

    // Held until the process ends: its existence marks the running instance.
    InstanceLock instance;
    if (!instance.IsFirstInstance()) {
        // An instance without a window only does what it was started for, and a
        // hand-over could reach it on its way out: it is asked to end once its work is
        // done, and this start then runs as the first instance.
        if (instance.HolderMark() != kWindowlessMark)
            return RunSecondInstance(argc, argv);
        AppWindowHook::AskRunningInstanceToGiveWay();
        if (!instance.WaitForTurn([&instance] { return instance.HolderMark() == kWindowlessMark; }))
            return RunSecondInstance(argc, argv);
    }
    instance.SetHolderMark(windowless ? kWindowlessMark : kWindowMark);
    // The program runs without the single-instance guard rather than not at all.
    if (!instance.Problem().empty())
        std::cerr << "velmora: " << instance.Problem() << '\n';

    VelmoraApplication app(argc, argv);
    // The program ends when the main window closes, never because its last window was
    // hidden (the lock, the windowless modes).
    app.setQuitOnLastWindowClosed(false);

    const std::string program = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    // An installed program relies on its package's registration for every user.
    const bool packaged = RegisteredByPackage(program);
    if (request.regServer || request.unregServer)
        return RegisterServerAndEnd(request, program, packaged);
    // Every other start registers the automation object, and an installed one takes
    // away what an earlier start (or a copy run from elsewhere) wrote for the user; a
    // failure only means that the bus cannot start the program for a file manager.
    try {
        if (packaged)
            UnregisterForUser(false);
        else
            AutomationRegistration::RegisterServer(program);
    } catch (const std::runtime_error&) {
    }
    if (request.dataDir)
        SetDataDir(*request.dataDir);
    // An installed program's first start makes its library in the user's data folder.
    // Should that fail, the offer of a new library below asks and tells why, and a
    // windowless start reports the library it cannot open.
    try {
        MakeDefaultLibraryIfMissing();
    } catch (const std::exception& failure) {
        std::cerr << "velmora: " << failure.what() << '\n';
    }

    TfrmMain::SetApplicationTitle(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationVersion(QString::fromStdString(ProgramVersion()));

    // A folder without a library is offered as a new one before anything opens it.
    if (request.Mode() == StartMode::Interactive) {
        GuiMessageBoxes boxes;
        const NewLibraryOutcome library = OfferNewLibrary(GetDataDir(), boxes, CreateLibrary);
        if (library == NewLibraryOutcome::Declined || library == NewLibraryOutcome::Failed)
            return kExitCode;
    }

    // Reached early, so that a start that comes meanwhile finds this one.
    AppWindowHook hook;
    hook.HookApplicationWindow();

    MainWindowOptions options;
    options.tellOpenFailure = request.Mode() != StartMode::Automation;
    TfrmMain frmMain(options);
    // A start by the bus answers its callers why it cannot add, and ends.
    if (!frmMain.LibraryOpened() && request.Mode() != StartMode::Automation)
        return kExitCode;
    // Rewritten at every start of a copy that no package registers, so archives open in
    // the copy that ran last. A desktop that refuses it costs nothing else: the start
    // goes on without a word.
    try {
        if (!packaged)
            RegisterFileAssociation(QCoreApplication::applicationFilePath().toStdString(),
                                    FileAssociationPaths::ForUser());
    } catch (const std::exception&) {
    }
    // The file managers' entries follow the menu text of the settings, which may have
    // been changed while the program did not run.
    try {
        FollowMenuText(frmMain.ShellMenuText(), FileManagerEntryPaths::ForUser());
    } catch (const std::exception&) {
    }
    QObject::connect(&frmMain, &TfrmMain::EndProgram, &app, [](int code) { QCoreApplication::exit(code); });

    QObject::connect(&hook, &AppWindowHook::BringToFront, &frmMain, &TfrmMain::BringToFront);

    TfrmOpenETA frmOpenETA(frmMain);
    frmOpenETA.Create();

    // The automation object, for a running program and for the start the bus makes.
    TtnApp tnApp(frmMain);
    if (request.Mode() == StartMode::Interactive)
        tnApp.Register(QDBusConnection::sessionBus());
    std::unique_ptr<BackgroundLifetime> lifetime;
    if (request.Mode() == StartMode::Automation)
        lifetime = LiveWhileCalled(tnApp, frmMain, hook);
    // Only a library behind the password gate has anything to lock.
    std::unique_ptr<SessionLockWatcher> sessionLock;
    if (request.Mode() == StartMode::Interactive) {
        sessionLock = std::make_unique<SessionLockWatcher>(QDBusConnection::systemBus(), QDBusConnection::sessionBus());
        QObject::connect(sessionLock.get(), &SessionLockWatcher::LockRequested, &frmMain,
                         &TfrmMain::SessionLockRequested);
    }

    switch (request.Mode()) {
    case StartMode::AddFiles:
        // The pending archive is dropped in this mode.
        if (frmMain.AddCommandLineFiles(request.pathsToAdd))
            PauseAfterAdding();
        return kExitCode;
    case StartMode::Automation:
        break;
    default:
        if (!frmMain.PasswordGate())
            return kExitCode;
        frmMain.SetPendingArchive(request.pendingArchive);
        frmMain.show();
        // In front and with the keyboard, also where no window manager gives it.
        frmMain.raise();
        frmMain.activateWindow();
        break;
    }
    app.exec();
    return kExitCode;
}

} // namespace velmora
