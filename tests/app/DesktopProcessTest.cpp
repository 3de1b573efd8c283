// The program as the user meets it on a desktop: real processes on an X server of the
// test's own (Xvfb, no window manager), driven with the keyboard and the mouse. The
// password gate and the lock against second starts; the windowless modes; the first
// run in a folder without a library; the runtime folder another user got to first.
#include "app/ProgramProcessFixture.h"
#include "support/XDesktop.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <pwd.h>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace velmora;
using velmora::test::kHangGuardMs;
using velmora::test::ListFilesInProgramFolder;
using velmora::test::TempDir;
using velmora::test::WriteFile;
using velmora::test::XDesktop;

namespace {

constexpr const char* kPassword = velmora::test::kProcessPassword;

// Captions, as regular expressions for xdotool.
const QString kGate = QStringLiteral("^Password Protected$");
const QString kMainOrBox = QStringLiteral("^Velmora$");   // the application title
const QString kStandIn = QStringLiteral("^Password Protected Program$");
const QString kArchivePassword = QStringLiteral("^Enter Password$");

class DesktopProcessTest : public velmora::test::ProgramProcessFixture {
protected:
    void SetUp() override
    {
        ProgramProcessFixture::SetUp();
        ASSERT_FALSE(desktop.Display().isEmpty()) << "Xvfb could not be started";
        // A known place on the screen, and no monitored folder to scan.
        fs::create_directories(config / "Velmora");
        WriteFile(config / "Velmora" / "Velmora.ini",
                  "[Screen]\nTop=0\nLeft=0\nWidth=800\nHeight=600\nMaximized=0\n\n"
                  "[Settings]\nBackground Monitor=0\n");
    }

    QProcessEnvironment Environment() const override
    {
        return desktop.Environment(ProgramProcessFixture::Environment());
    }

    // Types into the window as the user does: it gets the keyboard, then the keys.
    void TypeInto(const QString& window, const QString& text)
    {
        desktop.Focus(window);
        desktop.Type(text);
        desktop.Key(QStringLiteral("Return"));
    }

    // Both names the window system knows the window by.
    void ExpectCaption(const QString& window, const QString& caption)
    {
        EXPECT_EQ(desktop.TextProperty(window, "WM_NAME"), caption);
        EXPECT_EQ(desktop.TextProperty(window, "_NET_WM_NAME"), caption);
    }

    // The running instance, unlocked at its gate; the main window's id.
    QString OpenLibrary()
    {
        StartFirst({QString::fromStdString(library.str())});
        const auto gate = desktop.WaitForWindow(kGate);
        if (!gate) {
            ADD_FAILURE() << "no password gate: " << FirstOutput();
            return {};
        }
        ExpectCaption(*gate, QStringLiteral("Password Protected"));
        TypeInto(*gate, QString::fromLatin1(kPassword));
        const auto main = desktop.WaitForWindow(kMainOrBox);
        if (!main) {
            ADD_FAILURE() << "no main window: " << FirstOutput();
            return {};
        }
        return *main;
    }

    // Ctrl+B in the main window; the stand-in's id.
    QString Lock(const QString& main)
    {
        desktop.Focus(main);
        desktop.Key(QStringLiteral("ctrl+b"));
        const auto standIn = desktop.WaitForWindow(kStandIn);
        if (!standIn) {
            ADD_FAILURE() << "no stand-in after the lock";
            return {};
        }
        EXPECT_TRUE(desktop.WaitUntilGone(kMainOrBox));
        return *standIn;
    }

    // Answers with Enter the box the running instance shows beside its main window.
    void AnswerBox(const QString& main)
    {
        std::optional<QString> box;
        const QDeadlineTimer guard(kHangGuardMs);
        while (!box && !guard.hasExpired()) {
            for (const QString& window : desktop.VisibleWindowsOf(first.processId()))
                if (window != main)
                    box = window;
            if (!box)
                QThread::msleep(50);
        }
        ASSERT_TRUE(box) << "no box: " << FirstOutput();
        desktop.Focus(*box);
        desktop.Key(QStringLiteral("Return"));
        while (desktop.VisibleWindowsOf(first.processId()).contains(*box) && !guard.hasExpired())
            QThread::msleep(50);
    }

    // Waits until the running instance's output holds text count times.
    bool WaitForOutputTimes(const std::string& text, int count)
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (!guard.hasExpired() && first.state() == QProcess::Running) {
            int seen = 0;
            for (auto at = FirstOutput().find(text); at != std::string::npos; at = firstErr.find(text, at + 1))
                ++seen;
            if (seen >= count)
                return true;
            first.waitForReadyRead(50);
        }
        return false;
    }

    XDesktop desktop;
};

TEST_F(DesktopProcessTest, LockedProgramAsksForThePasswordBeforeAddingAHandedOverFile)
{
    MakeLibrary(library.path());
    const QString main = OpenLibrary();
    ASSERT_FALSE(main.isEmpty());
    // Captions exactly as given: nothing of the toolkit's appended.
    ExpectCaption(main, QStringLiteral("Velmora"));
    const QString standIn = Lock(main);
    ASSERT_FALSE(standIn.isEmpty());
    ExpectCaption(standIn, QStringLiteral("Password Protected Program"));

    WriteFile(files / "photo.jpg", "photo bytes");
    const auto second = RunVelmora({"photo.jpg"});
    EXPECT_EQ(second.exitCode, 0) << second.err;

    const auto prompt = desktop.WaitForWindow(kGate);
    ASSERT_TRUE(prompt) << FirstOutput();
    EXPECT_TRUE(ItemNames(library.path()).empty());
    EXPECT_EQ(FirstOutput().find("add "), std::string::npos) << firstErr;

    TypeInto(*prompt, QString::fromLatin1(kPassword));
    ASSERT_TRUE(WaitForOutput("add " + (files / "photo.jpg").string())) << firstErr;
    EXPECT_TRUE(desktop.WaitForWindow(kMainOrBox));
    EXPECT_EQ(WaitForItems(library.path()), std::vector<std::string>{"photo.jpg"});
}

TEST_F(DesktopProcessTest, CancelAtThePromptEndsTheProgramWithTheHandedOverFileNotAdded)
{
    MakeLibrary(library.path());
    const QString main = OpenLibrary();
    ASSERT_FALSE(main.isEmpty());
    ASSERT_FALSE(Lock(main).isEmpty());

    WriteFile(files / "photo.jpg", "photo bytes");
    EXPECT_EQ(RunVelmora({"photo.jpg"}).exitCode, 0);
    const auto prompt = desktop.WaitForWindow(kGate);
    ASSERT_TRUE(prompt) << FirstOutput();
    desktop.Focus(*prompt);
    desktop.Key(QStringLiteral("Escape"));

    EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;
    EXPECT_EQ(firstErr.find("add "), std::string::npos) << firstErr;
    EXPECT_TRUE(ItemNames(library.path()).empty());
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
    EXPECT_TRUE(fs::exists(files / "photo.jpg"));
}

TEST_F(DesktopProcessTest, LockedProgramAsksForThePasswordBeforeAHandedOverArchive)
{
    // An archive of one item, made from another library.
    TempDir other;
    MakeLibrary(other.path());
    WriteFile(files / "song.mp3", "song bytes");
    const auto added = velmora::test::RunProgram("velmora-tool", {"add", "--data", other.str(), (files / "song.mp3").string()},
                                                 {{"VELMORA_PASSWORD", kPassword}});
    ASSERT_EQ(added.exitCode, 0) << added.err;
    const std::string archive = (files / "gift.eta").string();
    const auto exported = velmora::test::RunProgram(
        "velmora-tool", {"export", "--data", other.str(), "--archive", archive, "1"},
        {{"VELMORA_PASSWORD", kPassword}, {"VELMORA_ARCHIVE_PASSWORD", "for you"}});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;

    MakeLibrary(library.path());
    for (const bool unlock : {false, true}) {
        SCOPED_TRACE(unlock ? "the right password" : "Cancel");
        const QString main = OpenLibrary();
        ASSERT_FALSE(main.isEmpty());
        ASSERT_FALSE(Lock(main).isEmpty());

        EXPECT_EQ(RunVelmora({"gift.eta"}).exitCode, 0);
        const auto prompt = desktop.WaitForWindow(kGate);
        ASSERT_TRUE(prompt) << FirstOutput();
        // Nothing of the archive before the password: not even its own password dialog.
        EXPECT_TRUE(desktop.VisibleWindows(kArchivePassword).isEmpty());
        EXPECT_EQ(FirstOutput().find("import "), std::string::npos) << firstErr;

        if (!unlock) {
            desktop.Focus(*prompt);
            desktop.Key(QStringLiteral("Escape"));
            EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;
            EXPECT_EQ(firstErr.find("import "), std::string::npos) << firstErr;
            EXPECT_TRUE(ItemNames(library.path()).empty());
            firstErr.clear();
            continue;
        }
        TypeInto(*prompt, QString::fromLatin1(kPassword));
        const auto archiveDialog = desktop.WaitForWindow(kArchivePassword);
        ASSERT_TRUE(archiveDialog) << FirstOutput();
        TypeInto(*archiveDialog, QStringLiteral("for you"));
        EXPECT_EQ(WaitForItems(library.path()), std::vector<std::string>{"song.mp3"});
    }
}

TEST_F(DesktopProcessTest, SecondStartOrAClickOnTheStandInBringsThePromptBack)
{
    MakeLibrary(library.path());
    const QString main = OpenLibrary();
    ASSERT_FALSE(main.isEmpty());

    // A plain second start reaches the locked program: the prompt.
    ASSERT_FALSE(Lock(main).isEmpty());
    EXPECT_EQ(RunVelmora({}).exitCode, 0);
    auto prompt = desktop.WaitForWindow(kGate);
    ASSERT_TRUE(prompt) << FirstOutput();
    TypeInto(*prompt, QString::fromLatin1(kPassword));
    ASSERT_TRUE(desktop.WaitForWindow(kMainOrBox));
    EXPECT_TRUE(desktop.WaitUntilGone(kStandIn));

    // Without a window manager the stand-in stays on the screen; a click on it unlocks.
    const QString standIn = Lock(main);
    ASSERT_FALSE(standIn.isEmpty());
    const XDesktop::Geometry at = desktop.WindowGeometry(standIn);
    desktop.Click(standIn, at.width / 2, at.height / 2);
    prompt = desktop.WaitForWindow(kGate);
    ASSERT_TRUE(prompt) << FirstOutput();
    TypeInto(*prompt, QString::fromLatin1(kPassword));
    EXPECT_TRUE(desktop.WaitForWindow(kMainOrBox));
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(DesktopProcessTest, SecondStartBringsTheMainWindowToTheFront)
{
    MakeLibrary(library.path());
    const QString main = OpenLibrary();
    ASSERT_FALSE(main.isEmpty());

    // Another program's window comes over it: here another user's Velmora, at its gate.
    TempDir otherRuntime;
    TempDir otherLibrary;
    MakeLibrary(otherLibrary.path());
    QProcess other;
    QProcessEnvironment env = Environment();
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(otherRuntime.str()));
    other.setProcessEnvironment(env);
    other.start(Program(), {QString::fromStdString(otherLibrary.str())});
    ASSERT_TRUE(other.waitForStarted(kHangGuardMs));
    std::optional<QString> cover;
    const QDeadlineTimer guard(kHangGuardMs);
    while (!guard.hasExpired() && !cover) {
        const QStringList gates = desktop.VisibleWindowsOf(other.processId());
        if (!gates.isEmpty())
            cover = gates.front();
        else
            QThread::msleep(50);
    }
    ASSERT_TRUE(cover);
    const auto above = [&](const QString& upper, const QString& lower) {
        const QStringList order = desktop.StackingOrder();
        return order.contains(upper) && order.indexOf(upper) < order.indexOf(lower);
    };
    ASSERT_TRUE(above(*cover, main));

    EXPECT_EQ(RunVelmora({}).exitCode, 0);
    ASSERT_TRUE(WaitForOutput("bring to front")) << firstErr;
    while (!above(main, *cover) && !guard.hasExpired())
        QThread::msleep(50);
    EXPECT_TRUE(above(main, *cover));
    other.kill();
    other.waitForFinished(kHangGuardMs);
}

TEST_F(DesktopProcessTest, SecondStartHandsFilesThenArchivesToTheOpenLibrary)
{
    MakeLibrary(library.path());
    const QString main = OpenLibrary();
    ASSERT_FALSE(main.isEmpty());

    WriteFile(files / "b.jpg", "not really a picture, but a .jpg");
    WriteFile(files / "a.eta", "archive a");
    WriteFile(files / "c.eta", "archive c");
    const auto second = RunVelmora({"a.eta", "b.jpg", "c.eta"});
    EXPECT_EQ(second.exitCode, 0) << second.err;

    const std::string a = (files / "a.eta").string();
    const std::string b = (files / "b.jpg").string();
    const std::string c = (files / "c.eta").string();
    ASSERT_TRUE(WaitForOutput("import " + c)) << firstErr;
    const auto added = firstErr.find("add " + b);
    ASSERT_NE(added, std::string::npos) << firstErr;
    EXPECT_LT(added, firstErr.find("import " + a)) << firstErr;
    EXPECT_LT(firstErr.find("import " + a), firstErr.find("import " + c)) << firstErr;
    EXPECT_EQ(ItemNames(library.path()), std::vector<std::string>{"b.jpg"});
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
    EXPECT_TRUE(fs::exists(files / "b.jpg"));   // sources stay unless the library says otherwise

    // A start with nothing to hand over reaches the running instance and leaves no list file.
    const auto again = RunVelmora({QString::fromStdString(library.str())});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(DesktopProcessTest, ASecondStartForAnotherLibraryIsToldWhichLibraryIsOpenAndAddsNothing)
{
    MakeLibrary(library.path());
    const QString main = OpenLibrary();
    ASSERT_FALSE(main.isEmpty());
    TempDir other;
    MakeLibrary(other.path());
    WriteFile(files / "gift.eta", "an archive for the other library");
    WriteFile(files / "photo.jpg", "a picture for the other library");
    WriteFile(files / "mine.jpg", "a picture for this library");

    // An archive, then media files, each with the other library's folder.
    const std::string refusal = "refused: Velmora has the library in \"" + library.str() + "\" open, so nothing";
    int refused = 0;
    for (const char* item : {"gift.eta", "photo.jpg"}) {
        const auto second = RunVelmora({QString::fromStdString(other.str()), item});
        EXPECT_EQ(second.exitCode, 0) << second.err;
        ASSERT_TRUE(WaitForOutputTimes(refusal, ++refused)) << firstErr;
        AnswerBox(main);
    }
    EXPECT_NE(firstErr.find("meant for the library in \"" + other.str() + "\""), std::string::npos) << firstErr;

    // A start that names no library still hands over to the open one, after the others.
    EXPECT_EQ(RunVelmora({"mine.jpg"}).exitCode, 0);
    EXPECT_EQ(WaitForItems(library.path()), std::vector<std::string>{"mine.jpg"});
    EXPECT_EQ(firstErr.find("import "), std::string::npos) << firstErr;
    EXPECT_TRUE(ItemNames(other.path()).empty());
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
}

TEST_F(DesktopProcessTest, AddFilesModeShowsNoMainWindowAndWaitsTwoSecondsAfterAdding)
{
    MakeLibrary(library.path());
    WriteFile(files / "photo.jpg", "photo bytes");
    QProcess run;
    run.setProcessEnvironment(Environment());
    run.setWorkingDirectory(QString::fromStdString(files.str()));
    QElapsedTimer clock;
    clock.start();
    run.start(Program(), {QString::fromStdString(library.str()), "photo.jpg"});
    ASSERT_TRUE(run.waitForStarted(kHangGuardMs));
    QStringList seen;
    while (!run.waitForFinished(50) && clock.elapsed() < kHangGuardMs) {
        for (const QString& window : desktop.VisibleWindowsOf(run.processId()))
            seen << desktop.TextProperty(window, "WM_NAME").value_or(QString());
    }
    const qint64 elapsed = clock.elapsed();
    ASSERT_EQ(run.state(), QProcess::NotRunning);
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    EXPECT_FALSE(seen.contains(QStringLiteral("Velmora"))) << seen.join(", ").toStdString();
    EXPECT_FALSE(seen.contains(QStringLiteral("Password Protected"))) << seen.join(", ").toStdString();
    EXPECT_GE(elapsed, 2000);
    EXPECT_EQ(ItemNames(library.path()), std::vector<std::string>{"photo.jpg"});
}

TEST_F(DesktopProcessTest, AddFilesWithoutALibraryPasswordSaysSoInAMessageBox)
{
    MakeLibrary(library.path(), false);
    WriteFile(files / "photo.jpg", "photo bytes");
    StartFirst({QString::fromStdString(library.str()), "photo.jpg"});
    const auto box = desktop.WaitForWindow(kMainOrBox);
    ASSERT_TRUE(box) << FirstOutput();
    EXPECT_LT(desktop.WindowGeometry(*box).width, 710);   // a message box, not the main window
    desktop.Focus(*box);
    desktop.Key(QStringLiteral("Return"));
    EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;
    EXPECT_NE(firstErr.find("password could not be obtained"), std::string::npos) << firstErr;
    EXPECT_TRUE(ItemNames(library.path(), "later").empty());
    EXPECT_TRUE(fs::exists(files / "photo.jpg"));
}

TEST_F(DesktopProcessTest, FirstRunOffersANewLibraryWhoseFirstPasswordIsTypedTwice)
{
    const fs::path vault = files / "vault";
    StartFirst({QString::fromStdString(vault.string())});
    auto question = desktop.WaitForWindow(kMainOrBox);
    ASSERT_TRUE(question) << FirstOutput();
    EXPECT_LT(desktop.WindowGeometry(*question).width, 710);
    desktop.Focus(*question);
    desktop.Key(QStringLiteral("Return"));   // Yes has the focus

    const auto gate = desktop.WaitForWindow(kGate);
    ASSERT_TRUE(gate) << FirstOutput();
    EXPECT_TRUE(fs::exists(vault / "tndb.mdb"));
    // A typo in the confirmation: told, and nothing becomes the password.
    TypeInto(*gate, QStringLiteral("my first\tmy frist"));
    const auto told = desktop.WaitForWindow(kMainOrBox);
    ASSERT_TRUE(told) << FirstOutput();
    EXPECT_LT(desktop.WindowGeometry(*told).width, 710);
    EXPECT_TRUE(desktop.VisibleWindows(kGate).contains(*gate));
    EXPECT_EQ(velmora::test::RawScalar(vault / "tndb.mdb", "Select length(opt_pass) from options"), 0);
    desktop.Focus(*told);
    desktop.Key(QStringLiteral("Return"));
    ASSERT_TRUE(desktop.WaitUntilGone(kMainOrBox));

    // Typed alike twice (each edit emptied first), it is the library's password.
    desktop.Focus(*gate);
    desktop.Key(QStringLiteral("ctrl+a"));
    desktop.Type(QStringLiteral("my first\t"));
    desktop.Key(QStringLiteral("ctrl+a"));
    desktop.Type(QStringLiteral("my first"));
    desktop.Key(QStringLiteral("Return"));
    const auto main = desktop.WaitForWindow(kMainOrBox);
    ASSERT_TRUE(main) << FirstOutput();
    EXPECT_GE(desktop.WindowGeometry(*main).width, 710);
    desktop.Focus(*main);
    desktop.Key(QStringLiteral("alt+F4"));
    EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;

    // Items go in, and the library opens again with its password.
    WriteFile(files / "photo.jpg", "photo bytes");
    const auto add = RunVelmora({QString::fromStdString(vault.string()), "photo.jpg"});
    EXPECT_EQ(add.exitCode, 0) << add.err;
    EXPECT_EQ(ItemNames(vault, "my first"), std::vector<std::string>{"photo.jpg"});
}

TEST_F(DesktopProcessTest, FirstRunAnsweredNoEndsWithNothingMade)
{
    const fs::path missing = files / "missing";
    const fs::path empty = files / "empty";
    fs::create_directories(empty);
    for (const fs::path& folder : {missing, empty}) {
        SCOPED_TRACE(folder.string());
        StartFirst({QString::fromStdString(folder.string())});
        const auto question = desktop.WaitForWindow(kMainOrBox);
        ASSERT_TRUE(question) << FirstOutput();
        desktop.Focus(*question);
        desktop.Key(QStringLiteral("Escape"));   // No
        EXPECT_TRUE(WaitForFirstToEnd()) << firstErr;
        EXPECT_TRUE(desktop.VisibleWindows(kGate).isEmpty());
        EXPECT_FALSE(fs::exists(folder / "tndb.mdb"));
        firstErr.clear();
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_TRUE(fs::is_empty(empty));
}

// Run as an unprivileged user, with another user (root) having made the shared temp
// folder's names first: the start must not take that user's lock for a running
// instance. CI runs as root, which is what lets the test be both users.
TEST_F(DesktopProcessTest, RuntimeFilesAnotherUserMadeFirstDoNotStopTheStart)
{
    ASSERT_EQ(geteuid(), 0u) << "this test acts as two users: run it as root (as CI does)";
    const passwd* account = getpwnam("nobody");
    ASSERT_NE(account, nullptr);
    const uid_t nobody = account->pw_uid;
    TempDir shared;   // the shared temp folder, as /tmp is
    fs::permissions(shared.path(), fs::perms::all | fs::perms::sticky_bit, fs::perm_options::replace);
    TempDir home;
    MakeLibrary(home / "library");
    WriteFile(home / "photo.jpg", "photo bytes");
    fs::create_directories(home / "config");
    ASSERT_EQ(std::system(("chown -R nobody:nogroup '" + home.str() + "'").c_str()), 0);
    fs::permissions(home.path(), fs::perms::owner_all, fs::perm_options::replace);

    // The other user's files where the program used to and now would look, held locked.
    const fs::path oldLock = shared / ("NRXVelmora-" + std::to_string(nobody) + ".lock");
    const fs::path folder = shared / ("velmora-" + std::to_string(nobody));
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::all, fs::perm_options::replace);
    std::vector<std::unique_ptr<QProcess>> holders;
    for (const fs::path& lock : {oldLock, folder / "NRXVelmora.lock"}) {
        WriteFile(lock, "");
        fs::permissions(lock, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                  fs::perms::group_write | fs::perms::others_read | fs::perms::others_write,
                        fs::perm_options::replace);
        auto holder = std::make_unique<QProcess>();
        holder->start("flock", {QString::fromStdString(lock.string()), "sleep", "600"});
        ASSERT_TRUE(holder->waitForStarted(kHangGuardMs));
        const QDeadlineTimer guard(kHangGuardMs);
        while (QProcess::execute("flock", {"-n", QString::fromStdString(lock.string()), "true"}) == 0 &&
               !guard.hasExpired())
            QThread::msleep(20);
        holders.push_back(std::move(holder));
    }

    QProcess run;
    QProcessEnvironment env = Environment();
    env.remove("XDG_RUNTIME_DIR");
    env.insert("TMPDIR", QString::fromStdString(shared.str()));
    env.insert("HOME", QString::fromStdString(home.str()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(QString::fromStdString(home.str()));
    run.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", Program(),
                          QString::fromStdString((home / "library").string()), "photo.jpg"});
    const bool ended = run.waitForFinished(kHangGuardMs);
    for (auto& holder : holders) {
        holder->kill();
        holder->waitForFinished(kHangGuardMs);
    }
    ASSERT_TRUE(ended);
    const std::string err = run.readAllStandardError().toStdString();
    EXPECT_EQ(run.exitCode(), 0) << err;
    EXPECT_NE(err.find(folder.string()), std::string::npos) << err;   // says why it runs without the lock
    EXPECT_EQ(ItemNames(home / "library"), std::vector<std::string>{"photo.jpg"}) << err;
}

// A library folder the user cannot write (a copy restored from a backup medium, say):
// the program and the tool say that the folder cannot be written, not only what the
// database engine calls it. Run as an unprivileged user, whose permissions are checked.
TEST_F(DesktopProcessTest, ReadOnlyLibraryFolderIsToldAsSuch)
{
    TempDir home;
    const fs::path folder = home / "library";
    MakeLibrary(folder);
    // The library's files as a copy of them holds them: the engine's journal is not among them.
    fs::remove(folder / "tndb.mdb-wal");
    fs::remove(folder / "tndb.mdb-shm");
    for (const char* sub : {"config", "runtime", "data"})
        fs::create_directories(home / sub);
    velmora::test::GiveToUnprivilegedUser(home.path());
    fs::permissions(home.path(), fs::perms::owner_all, fs::perm_options::replace);
    fs::permissions(home / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    const std::string told = "\"" + folder.string() + "\" cannot be written";

    const auto listed = velmora::test::RunProgramUnprivileged(
        "velmora-tool", {"ls", "--data", folder.string()}, {{"VELMORA_PASSWORD", kPassword}});
    EXPECT_NE(listed.exitCode, 0);
    EXPECT_NE(listed.err.find(told), std::string::npos) << listed.err;

    QProcess run;
    QProcessEnvironment env = Environment();
    env.insert("HOME", QString::fromStdString(home.str()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString((home / "runtime").string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((home / "data").string()));
    run.setProcessEnvironment(env);
    run.setWorkingDirectory(QString::fromStdString(home.str()));
    QStringList command = {Program(), QString::fromStdString(folder.string())};
    if (geteuid() == 0)
        command = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"} + command;
    run.start(geteuid() == 0 ? QStringLiteral("setpriv") : command.takeFirst(), command);
    ASSERT_TRUE(run.waitForStarted(kHangGuardMs));
    // The message, and nothing behind it: no gate, no main window.
    const auto box = desktop.WaitForWindow(kMainOrBox);
    ASSERT_TRUE(box) << run.readAllStandardError().toStdString();
    EXPECT_LT(desktop.WindowGeometry(*box).width, 710);
    EXPECT_TRUE(desktop.VisibleWindows(kGate).isEmpty());
    desktop.Focus(*box);
    desktop.Key(QStringLiteral("Return"));
    ASSERT_TRUE(run.waitForFinished(kHangGuardMs));
    const std::string err = run.readAllStandardError().toStdString();
    EXPECT_EQ(run.exitCode(), 0) << err;
    EXPECT_NE(err.find(told), std::string::npos) << err;
    // Nothing was made or changed in it meanwhile.
    EXPECT_FALSE(fs::exists(folder / "tndb.mdb-wal"));
}

} // namespace
