// Both programs keep themselves out of core dumps: a process that is not dumpable has
// its /proc files owned by root whoever runs it. Each runs as a user without
// privileges (nobody when the test runs as root), for whom the owner tells.
#include "ProgramProcessFixture.h"

#include <QDeadlineTimer>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// A program started as the user RunProgramUnprivileged runs as.
QStringList AsUnprivilegedUser(const QString& program, const QStringList& arguments)
{
    if (::geteuid() != 0)
        return QStringList{program} + arguments;
    return QStringList{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--", program} + arguments;
}

void Start(QProcess& process, const QStringList& command, const QProcessEnvironment& env)
{
    process.setProcessEnvironment(env);
    process.start(command.front(), command.mid(1));
    ASSERT_TRUE(process.waitForStarted(kHangGuardMs));
}

// The real user id /proc/PID/status gives, and the owner of that file.
struct ProcOwnership {
    uid_t runsAs = 0;
    uid_t fileOwner = 0;
    std::string name;
};

ProcOwnership Ownership(qint64 pid)
{
    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    ProcOwnership found;
    struct stat info {};
    if (::stat(status.c_str(), &info) != 0)
        throw std::runtime_error("no " + status);
    found.fileOwner = info.st_uid;
    std::ifstream in(status);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("Name:\t", 0) == 0)
            found.name = line.substr(6);
        if (line.rfind("Uid:\t", 0) == 0)
            found.runsAs = static_cast<uid_t>(std::stoul(line.substr(5)));
    }
    return found;
}

void ExpectNotDumpable(qint64 pid, const std::string& program)
{
    const ProcOwnership owner = Ownership(pid);
    ASSERT_EQ(owner.name, program.substr(0, 15));   // the program, not setpriv
    ASSERT_NE(owner.runsAs, 0u) << "the check needs a user without privileges";
    EXPECT_EQ(owner.fileOwner, 0u) << program << " runs dumpable: a crash writes its memory to a core file";
}

// Whether the process holds a lock taken with flock (the instance lock), as
// /proc/locks shows: read there, the check takes no lock the program could meet.
bool HoldsAnInstanceLock(qint64 pid)
{
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access;
        qint64 holder = 0;
        if (fields >> number >> kind >> mode >> access >> holder && kind == "FLOCK" && holder == pid)
            return true;
    }
    return false;
}

class NonDumpableProcessTest : public ProgramProcessFixture {
protected:
    void SetUp() override
    {
        ProgramProcessFixture::SetUp();
        MakeLibrary(library.path());
        WriteFile(files / "song.wav", PatternBytes(3000, 1));
        const auto added = RunProgram("velmora-tool", {"add", "--data", library.str(), (files / "song.wav").string()},
                                      {{"VELMORA_PASSWORD", kProcessPassword}});
        ASSERT_EQ(added.exitCode, 0) << added.err;
        for (const TempDir* dir : {&runtime, &config, &data, &library, &files})
            GiveToUnprivilegedUser(dir->path());
    }
    void TearDown() override
    {
        for (QProcess* process : {&first, &tool}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(kHangGuardMs);
            }
        }
        ProgramProcessFixture::TearDown();
    }

    QProcess tool;
};

TEST_F(NonDumpableProcessTest, TheProgramWaitingAtItsGateIsNotDumpable)
{
    Start(first, AsUnprivilegedUser(Program(), {QString::fromStdString(library.str())}), Environment());
    // It holds the instance lock from its start on, and then waits at the gate.
    const QDeadlineTimer guard(kHangGuardMs);
    while (!HoldsAnInstanceLock(first.processId()) && !guard.hasExpired() && first.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_TRUE(HoldsAnInstanceLock(first.processId())) << FirstOutput();
    ExpectNotDumpable(first.processId(), "velmora");
}

TEST_F(NonDumpableProcessTest, TheToolHoldingTheLibraryKeyIsNotDumpable)
{
    QProcessEnvironment env = Environment();
    env.insert("VELMORA_PASSWORD", kProcessPassword);
    Start(tool,
          AsUnprivilegedUser(QString::fromStdString((BinDir() / "velmora-tool").string()),
                             {"serve", "--data", QString::fromStdString(library.str()), "--port", "0", "1"}),
          env);
    std::string out;
    const QDeadlineTimer guard(kHangGuardMs);
    while (out.find("serving item") == std::string::npos && !guard.hasExpired() &&
           tool.state() == QProcess::Running) {
        tool.waitForReadyRead(50);
        out += tool.readAllStandardOutput().toStdString();
    }
    ASSERT_NE(out.find("serving item"), std::string::npos) << out << tool.readAllStandardError().toStdString();
    ExpectNotDumpable(tool.processId(), "velmora-tool");
}

} // namespace
} // namespace velmora::test
