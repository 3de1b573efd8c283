#include "app/Entry.h"

#include "app/CommandLine.h"
#include "app/FirstRun.h"
#include "app/HandOver.h"
#include "app/MainWindow.h"
#include "app/OpenEtaForm.h"
#include "app/ProgramInfo.h"
#include "dialogs/GuiMessageBoxes.h"
#include "dialogs/VelmoraApplication.h"
#include "integration/AutomationRegistration.h"
#include "integration/FileAssociation.h"
#include "integration/SessionLockWatcher.h"
#include "integration/TnApp.h"
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

// "-regserver" / "-unregserver": the activation file is written or removed, and the
// start ends. A failure is told, and the exit code says so to the script that asked.
int RegisterServerAndEnd(const StartRequest& request, const std::string& program)
{
    try {
        if (request.regServer)
            AutomationRegistration::RegisterServer(program);
        else
            AutomationRegistration::UnregisterServer();
    } catch (const AutomationRegistration::Failed& failure) {
        std::cerr << "velmora: " << failure.what() << '\n';
        return 1;
    }
    return kExitCode;
}

// A start by the bus for the automation object ends once its last call is answered.
// The name is given up first, so a call that comes later starts a new process instead
// of reaching one on its way out.
void EndAfterLastCall(TtnApp& tnApp, const TfrmMain& frmMain)
{
    QObject::connect(&tnApp, &TtnApp::LastCallAnswered, &tnApp, [&tnApp, &frmMain] {
        tnApp.Unregister();
        // Calls that reached the process before the name went are served first.
        QTimer::singleShot(0, &tnApp, [&tnApp, &frmMain] {
            if (tnApp.PendingCalls() == 0 && !frmMain.HandOverPending())
                QCoreApplication::exit(kExitCode);
        });
    });
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

    // Held until the process ends: its existence marks the running instance.
    const InstanceLock instance;
    if (!instance.IsFirstInstance())
        return RunSecondInstance(argc, argv);
    // The program runs without the single-instance guard rather than not at all.
    if (!instance.Problem().empty())
        std::cerr << "velmora: " << instance.Problem() << '\n';

    VelmoraApplication app(argc, argv);
    // The program ends when the main window closes, never because its last window was
    // hidden (the lock, the windowless modes).
    app.setQuitOnLastWindowClosed(false);

    const StartRequest request = CommandLine::Parse(CommandLine::Arguments(argc, argv));
    const std::string program = QFile::encodeName(QCoreApplication::applicationFilePath()).toStdString();
    if (request.regServer || request.unregServer)
        return RegisterServerAndEnd(request, program);
    // Every start registers the automation object; a failure only means that the bus
    // cannot start the program for a file manager.
    try {
        AutomationRegistration::RegisterServer(program);
    } catch (const AutomationRegistration::Failed&) {
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

    TfrmMain frmMain;
    if (!frmMain.LibraryOpened())
        return kExitCode;
    // Rewritten at every start, so archives open in the copy that ran last. A desktop
    // that refuses it costs nothing else: the start goes on without a word.
    try {
        RegisterFileAssociation(QCoreApplication::applicationFilePath().toStdString(),
                                FileAssociationPaths::ForUser());
    } catch (const std::exception&) {
    }
    QObject::connect(&frmMain, &TfrmMain::EndProgram, &app, [](int code) { QCoreApplication::exit(code); });

    AppWindowHook hook;
    QObject::connect(&hook, &AppWindowHook::BringToFront, &frmMain, &TfrmMain::BringToFront);
    hook.HookApplicationWindow();

    TfrmOpenETA frmOpenETA(frmMain);
    frmOpenETA.Create();

    // The automation object, for a running program and for the start the bus makes.
    TtnApp tnApp(frmMain);
    if (request.Mode() == StartMode::Interactive || request.Mode() == StartMode::Automation)
        tnApp.Register(QDBusConnection::sessionBus());
    if (request.Mode() == StartMode::Automation)
        EndAfterLastCall(tnApp, frmMain);
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
