#pragma once

// Tests of the program as separate processes: each test has its own runtime,
// configuration, library and file folders; a running instance ("first") and further
// starts of velmora; the library looked into with velmora-tool. The list file of a
// hand-over lives in the program folder, which these tests share with nobody (ctest
// lock, see CMakeLists.txt).

#include "app/HandOverProtocol.h"
#include "platform/WindowMessages.h"

#include "support/TestSupport.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace velmora::test {

inline constexpr const char* kProcessPassword = "process test pw";
// A hang guard, never a timing check: a process that takes this long has hung.
inline constexpr int kHangGuardMs = 60000;

// The list files of hand-overs: six digits, no extension, in the program folder.
inline std::vector<std::string> ListFilesInProgramFolder()
{
    std::vector<std::string> names;
    const std::regex sixDigits("[0-9]{6}");
    for (const auto& entry : std::filesystem::directory_iterator(BinDir()))
        if (std::regex_match(entry.path().filename().string(), sixDigits))
            names.push_back(entry.path().filename().string());
    return names;
}

class ProgramProcessFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        // The test looks for the running instance's windows where the processes put them.
        setenv("XDG_RUNTIME_DIR", runtime.str().c_str(), 1);
        RemoveListFiles();
    }
    void TearDown() override
    {
        if (first.state() != QProcess::NotRunning) {
            first.kill();
            first.waitForFinished(kHangGuardMs);
        }
        RemoveListFiles();
    }

    static void RemoveListFiles()
    {
        for (const auto& name : ListFilesInProgramFolder())
            std::filesystem::remove(BinDir() / name);
    }

    static QString Program() { return QString::fromStdString((BinDir() / "velmora").string()); }

    // The environment of every velmora started: this test's folders, the hand-over's
    // debug lines on standard error, and no password from outside.
    virtual QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.str()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.str()));
        // What every start registers with the desktop stays in the test's folder.
        env.insert("XDG_DATA_HOME", QString::fromStdString(data.str()));
        // Never the machine's buses; a test that wants one starts its own.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "disabled:");
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "disabled:");
        env.insert("QT_LOGGING_RULES", "velmora.handover.debug=true");
        env.remove("VELMORA_PASSWORD");
        return env;
    }

    // A library in folder, with kProcessPassword set unless told otherwise.
    void MakeLibrary(const std::filesystem::path& folder, bool withPassword = true)
    {
        std::map<std::string, std::string> env;
        if (withPassword)
            env["VELMORA_PASSWORD"] = kProcessPassword;
        const auto made = RunProgram("velmora-tool", {"init", "--data", folder.string()}, env);
        ASSERT_EQ(made.exitCode, 0) << made.err;
    }

    // Starts the running instance.
    void StartFirst(const QStringList& arguments)
    {
        first.setProcessEnvironment(Environment());
        first.setWorkingDirectory(QString::fromStdString(files.str()));
        first.start(Program(), arguments);
        ASSERT_TRUE(first.waitForStarted(kHangGuardMs));
    }

    // Waits until the running instance's hand-over window can be found.
    bool WaitForHandOverWindow()
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (!FindWindow(kOpenEtaCaption) && !guard.hasExpired() && first.state() == QProcess::Running)
            QThread::msleep(20);
        return FindWindow(kOpenEtaCaption);
    }

    // Starts velmora and waits for it to end.
    ProcessResult RunVelmora(const QStringList& arguments) { return RunCommand(Program(), arguments); }

    // Starts a program with the environment velmora gets and waits for it to end.
    ProcessResult RunCommand(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.setWorkingDirectory(QString::fromStdString(files.str()));
        process.start(program, arguments);
        ProcessResult result;
        if (!process.waitForFinished(kHangGuardMs)) {
            process.kill();
            process.waitForFinished();
            ADD_FAILURE() << program.toStdString() << " " << arguments.join(' ').toStdString() << " did not end";
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode();
        result.out = process.readAllStandardOutput().toStdString();
        result.err = process.readAllStandardError().toStdString();
        return result;
    }

    // The names of the library's items, as velmora-tool lists them.
    std::vector<std::string> ItemNames(const std::filesystem::path& folder,
                                       const std::string& password = kProcessPassword)
    {
        const auto listed = RunProgram("velmora-tool", {"ls", "--data", folder.string()},
                                       {{"VELMORA_PASSWORD", password}});
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

    // Waits until the library lists an item (or the guard passes); then its names.
    std::vector<std::string> WaitForItems(const std::filesystem::path& folder)
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (ItemNames(folder).empty() && !guard.hasExpired())
            QThread::msleep(50);
        return ItemNames(folder);
    }

    // The running instance's standard error so far.
    const std::string& FirstOutput()
    {
        firstErr += first.readAllStandardError().toStdString();
        return firstErr;
    }

    // Waits until the running instance's output holds text (or the guard passes).
    bool WaitForOutput(const std::string& text)
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (!guard.hasExpired()) {
            if (FirstOutput().find(text) != std::string::npos)
                return true;
            if (first.state() == QProcess::NotRunning)
                return false;
            first.waitForReadyRead(50);
        }
        return false;
    }

    // Waits for the running instance to end; true when it ended normally with code 0.
    bool WaitForFirstToEnd()
    {
        const bool ended = first.waitForFinished(kHangGuardMs);
        FirstOutput();
        return ended && first.exitStatus() == QProcess::NormalExit && first.exitCode() == 0;
    }

    TempDir runtime;
    TempDir config;
    TempDir data;
    TempDir library;
    TempDir files;
    QProcess first;
    std::string firstErr;
};

} // namespace velmora::test
