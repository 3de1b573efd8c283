// The program as separate processes: a running instance receiving a hand-over from a
// second start, a windowless start that only adds files, and the starts that only
// answer --help and --version. (With windows on a screen: DesktopProcessTest.) Each test gets its own
// runtime, configuration and library folders; the list file of a hand-over lives in the
// program folder, which these tests share with nobody (ctest lock, see CMakeLists.txt).
#include "app/HandOverProtocol.h"
#include "app/ProgramInfo.h"
#include "platform/WindowMessages.h"
#include "store/Connection.h"
#include "store/ConnectionString.h"
#include "store/LibraryFiles.h"
#include "store/Query.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

namespace fs = std::filesystem;
using namespace velmora;
using velmora::test::BinDir;
using velmora::test::TempDir;
using velmora::test::WriteFile;

namespace {

constexpr const char* kPassword = "hand over pw";
// A hang guard, never a timing check: a process that takes this long has hung.
constexpr int kHangGuardMs = 60000;

// The list files of hand-overs: six digits, no extension, in the program folder.
std::vector<std::string> ListFilesInProgramFolder()
{
    std::vector<std::string> names;
    const std::regex sixDigits("[0-9]{6}");
    for (const auto& entry : fs::directory_iterator(BinDir()))
        if (std::regex_match(entry.path().filename().string(), sixDigits))
            names.push_back(entry.path().filename().string());
    return names;
}

class EntryProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::permissions(runtime.path(), fs::perms::owner_all, fs::perm_options::replace);
        // The test looks for the running instance's windows where the processes put them.
        setenv("XDG_RUNTIME_DIR", runtime.str().c_str(), 1);
        for (const auto& name : ListFilesInProgramFolder())
            fs::remove(BinDir() / name);
    }
    void TearDown() override
    {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished(kHangGuardMs);
        }
        for (const auto& name : ListFilesInProgramFolder())
            fs::remove(BinDir() / name);
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.str()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.str()));
        env.insert("QT_LOGGING_RULES", "velmora.handover.debug=true");
        env.remove("VELMORA_PASSWORD");
        return env;
    }

    // A library in `folder`, with kPassword set unless told otherwise.
    void MakeLibrary(const fs::path& folder, bool withPassword = true)
    {
        std::map<std::string, std::string> env;
        if (withPassword)
            env["VELMORA_PASSWORD"] = kPassword;
        const auto made = velmora::test::RunProgram("velmora-tool", {"init", "--data", folder.string()}, env);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }

    // Starts velmora and waits for it to end.
    velmora::test::ProcessResult RunVelmora(const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.setWorkingDirectory(QString::fromStdString(files.str()));
        process.start(QString::fromStdString((BinDir() / "velmora").string()), arguments);
        velmora::test::ProcessResult result;
        if (!process.waitForFinished(kHangGuardMs)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << "velmora " << arguments.join(' ').toStdString() << " did not end";
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode();
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    std::vector<std::string> ItemNames(const fs::path& library)
    {
        const auto listed = velmora::test::RunProgram("velmora-tool", {"ls", "--data", library.string()},
                                                      {{"VELMORA_PASSWORD", kPassword}});
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        std::vector<std::string> names;
        std::istringstream lines(listed.out);
        for (std::string line; std::getline(lines, line);) {
            // rec_ident, size, original name, description
            std::istringstream fields(line);
            std::string ident, size, name;
            std::getline(fields, ident, '\t');
            std::getline(fields, size, '\t');
            std::getline(fields, name, '\t');
            names.push_back(name);
        }
        return names;
    }

    // Waits until the running instance's output holds text (or the guard passes).
    bool WaitForOutput(const std::string& text)
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (!guard.hasExpired()) {
            firstErr += first.readAllStandardError().toStdString();
            if (firstErr.find(text) != std::string::npos)
                return true;
            if (first.state() == QProcess::NotRunning)
                return false;
            first.waitForReadyRead(100);
        }
        return false;
    }

    TempDir runtime;
    TempDir config;
    TempDir library;
    TempDir files;
    QProcess first;
    std::string firstErr;
};

TEST_F(EntryProcessTest, SecondStartHandsFilesThenArchivesToTheRunningInstance)
{
    MakeLibrary(library.path());
    // Automation mode shows no window and asks no password; the data folder after
    // "-embedding", which resets it to the program folder.
    first.setProcessEnvironment(Environment());
    first.start(QString::fromStdString((BinDir() / "velmora").string()),
                {"-embedding", QString::fromStdString(library.str())});
    ASSERT_TRUE(first.waitForStarted(kHangGuardMs));
    const QDeadlineTimer guard(kHangGuardMs);
    while (!FindWindow(kOpenEtaCaption) && !guard.hasExpired() && first.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(FindWindow(kOpenEtaCaption)) << first.readAllStandardError().toStdString();

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
    const auto importedA = firstErr.find("import " + a);
    const auto importedC = firstErr.find("import " + c);
    ASSERT_NE(added, std::string::npos) << firstErr;
    ASSERT_NE(importedA, std::string::npos) << firstErr;
    EXPECT_LT(added, importedA) << firstErr;
    EXPECT_LT(importedA, importedC) << firstErr;
    EXPECT_EQ(ItemNames(library.path()), std::vector<std::string>{"b.jpg"});
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
    EXPECT_TRUE(fs::exists(files / "b.jpg"));   // sources stay unless the library says otherwise

    // A start with nothing to hand over reaches the running instance and leaves no list file.
    const auto again = RunVelmora({QString::fromStdString(library.str())});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(EntryProcessTest, MediaFilesWithoutARunningInstanceAreAddedWithoutAWindow)
{
    MakeLibrary(library.path());
    WriteFile(files / "photo.JPG", "photo bytes");
    fs::create_directories(files / "music" / "old");
    WriteFile(files / "music" / "song.mp3", "song bytes");
    WriteFile(files / "music" / "old" / "tune.wav", "tune bytes");
    WriteFile(files / "music" / "notes.txt", "not media");
    WriteFile(files / "pending.eta", "dropped in this mode");

    const auto run = RunVelmora({QString::fromStdString(library.str()), "photo.JPG", "music", "pending.eta"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("velmora.handover: import"), std::string::npos) << run.err;
    auto names = ItemNames(library.path());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"photo.JPG", "song.mp3", "tune.wav"}));
    EXPECT_TRUE(fs::exists(files / "photo.JPG"));
}

TEST_F(EntryProcessTest, HelpAndVersionAreAnsweredOnStandardOutputEvenBesideARunningInstance)
{
    MakeLibrary(library.path());
    first.setProcessEnvironment(Environment());
    first.start(QString::fromStdString((BinDir() / "velmora").string()),
                {"-embedding", QString::fromStdString(library.str())});
    ASSERT_TRUE(first.waitForStarted(kHangGuardMs));
    const QDeadlineTimer guard(kHangGuardMs);
    while (!FindWindow(kOpenEtaCaption) && !guard.hasExpired() && first.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(FindWindow(kOpenEtaCaption)) << first.readAllStandardError().toStdString();

    const auto help = RunVelmora({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: velmora", 0), 0u) << help.out;
    EXPECT_TRUE(help.err.empty()) << help.err;
    const auto version = RunVelmora({QString::fromStdString(library.str()), "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "velmora " + ProgramVersion() + "\n");
    const auto tool = velmora::test::RunProgram("velmora-tool", {"--version"});
    EXPECT_EQ(tool.exitCode, 0);
    EXPECT_EQ(tool.out, "velmora-tool " + ProgramVersion() + "\n");
    // Nothing was handed over or broadcast to the running instance.
    first.waitForReadyRead(200);
    EXPECT_EQ(first.readAllStandardError().toStdString().find("bring to front"), std::string::npos);
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(EntryProcessTest, ServerRegistrationSwitchesAreAcceptedAndEndTheStart)
{
    for (const char* argument : {"/REGSERVER", "-unregserver", "/UnRegServer"}) {
        const auto run = RunVelmora({argument});
        EXPECT_EQ(run.exitCode, 0) << argument << ": " << run.err;
    }
    EXPECT_TRUE(ListFilesInProgramFolder().empty());
}

} // namespace
