#include "support/LibraryFixture.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class LibraryCommandsTest : public ::testing::Test {
protected:
    ProcessResult Tool(std::vector<std::string> args, const std::string& password = "pw one",
                       std::map<std::string, std::string> env = {})
    {
        if (!password.empty())
            env["VELMORA_PASSWORD"] = password;
        args.insert(args.begin() + 1, {"--data", dir.str()});
        return RunProgram("velmora-tool", args, env);
    }
    // Adds files and returns their numbers.
    std::vector<int> Add(const std::vector<fs::path>& files, const std::string& password = "pw one")
    {
        std::vector<std::string> args{"add"};
        for (const auto& f : files)
            args.push_back(f.string());
        const auto r = Tool(args, password);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<int> ids;
        std::istringstream lines(r.out);
        for (int id; lines >> id;)
            ids.push_back(id);
        return ids;
    }
    fs::path MakeFile(const std::string& name, std::size_t size, unsigned seed)
    {
        const fs::path file = sources.path() / name;
        WriteFile(file, PatternBytes(size, seed));
        return file;
    }

    TempDir dir;
    TempDir sources;
};

TEST_F(LibraryCommandsTest, InitAddListCatAndCheckARoundTrip)
{
    auto r = Tool({"init"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Tool({"init"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("already"), std::string::npos) << r.err;

    const auto files = {MakeFile("a.jpg", 10, 1), MakeFile("b.MP3", 1000001, 2), MakeFile("c.wav", 0, 3)};
    const auto ids = Add(files);
    ASSERT_EQ(ids.size(), 3u);

    r = Tool({"ls"});
    EXPECT_EQ(r.out, std::to_string(ids[0]) + "\t10\ta.jpg\ta.jpg\n" + std::to_string(ids[1]) +
                         "\t1000001\tb.MP3\tb.MP3\n" + std::to_string(ids[2]) + "\t0\tc.wav\tc.wav\n");
    int i = 0;
    for (const auto& f : files) {
        r = Tool({"cat", std::to_string(ids[i++])});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, ReadFile(f));
    }
    r = Tool({"fsck"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

TEST_F(LibraryCommandsTest, InitMakesAPrivateLibraryAndFsckPointsOutFilesOthersCanRead)
{
    const mode_t oldMask = ::umask(0);   // the tool inherits it: without care, 0777 and 0666
    const fs::path fresh = dir / "fresh";
    const auto made = RunProgram("velmora-tool", {"init", "--data", fresh.string()}, {{"VELMORA_PASSWORD", "pw one"}});
    ::umask(oldMask);
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto mode = [](const fs::path& path) {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_mode & 07777;
    };
    EXPECT_EQ(mode(fresh), 0700u);
    EXPECT_EQ(mode(fresh / "tndb.mdb"), 0600u);

    auto fsck = RunProgram("velmora-tool", {"fsck", "--data", fresh.string()}, {{"VELMORA_PASSWORD", "pw one"}});
    EXPECT_EQ(fsck.exitCode, 0) << fsck.err;
    EXPECT_EQ(fsck.err, "");

    // A library made before files were private: pointed out, left as it is, still consistent.
    ASSERT_EQ(::chmod((fresh / "tndb.mdb").c_str(), 0644), 0);
    fsck = RunProgram("velmora-tool", {"fsck", "--data", fresh.string()}, {{"VELMORA_PASSWORD", "pw one"}});
    EXPECT_EQ(fsck.exitCode, 0) << fsck.err;
    EXPECT_EQ(fsck.out, "library is consistent\n");
    EXPECT_NE(fsck.err.find("warning: " + (fresh / "tndb.mdb").string() + " is readable by other users (mode 0644)"),
              std::string::npos)
        << fsck.err;
    EXPECT_EQ(mode(fresh / "tndb.mdb"), 0644u);
}

TEST_F(LibraryCommandsTest, BadRequestsGiveOneLineAndExitCodeTwo)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const fs::path text = MakeFile("notes.txt", 5, 1);
    struct Case {
        std::vector<std::string> args;
        std::string password;
        std::string says;
    } cases[] = {
        {{"ls"}, "", "VELMORA_PASSWORD is not set"},
        {{"ls"}, "wrong", "wrong password"},
        {{"add", text.string()}, "pw one", "not a supported media file"},
        {{"cat", "999"}, "pw one", "no item 999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + " / " + c.says);
        const auto r = Tool(c.args, c.password);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    const auto r = RunProgram("velmora-tool", {"ls", "--data", (dir / "nowhere").string()},
                              {{"VELMORA_PASSWORD", "pw one"}});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("there is no library"), std::string::npos) << r.err;
}

TEST_F(LibraryCommandsTest, PasswdSwitchesThePasswordAndKeepsEveryItem)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const auto file = MakeFile("m.mpg", 1300000, 5);
    const auto ids = Add({file});
    auto r = Tool({"passwd"}, "pw one", {{"VELMORA_NEW_PASSWORD", "pw two"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Tool({"ls"}, "pw one").exitCode, 2);
    r = Tool({"cat", std::to_string(ids[0])}, "pw two");
    EXPECT_EQ(r.out, ReadFile(file));
    r = Tool({"passwd"}, "pw two", {{"VELMORA_NEW_PASSWORD", "zerkat"}});
    EXPECT_EQ(r.exitCode, 2);
}

// Starts velmora-tool and kills it with SIGKILL as soon as ready() says so.
int KillWhen(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
             const std::function<bool(const std::string& err)>& ready)
{
    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [k, v] : env)
        environment.insert(QString::fromStdString(k), QString::fromStdString(v));
    process.setProcessEnvironment(environment);
    QStringList arguments;
    for (const auto& a : args)
        arguments << QString::fromStdString(a);
    process.start(QString::fromStdString((BinDir() / "velmora-tool").string()), arguments);
    EXPECT_TRUE(process.waitForStarted());
    std::string err;
    while (process.state() == QProcess::Running) {
        process.waitForReadyRead(5);
        err += process.readAllStandardError().toStdString();
        if (ready(err)) {
            process.kill();
            break;
        }
    }
    process.waitForFinished();
    return process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode();
}

TEST_F(LibraryCommandsTest, AnAddKilledHalfWayIsTakenBackAtTheNextOpen)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const auto small = MakeFile("keep.jpg", 700000, 1);
    const auto kept = Add({small});
    const auto big = MakeFile("big.avi", 300u << 20, 2);
    const fs::path store = dir / "tnstore1.mdb";
    const auto before = fs::file_size(store);
    const int status = KillWhen({"add", "--data", dir.str(), big.string()}, {{"VELMORA_PASSWORD", "pw one"}},
                                [&](const std::string&) {
                                    std::error_code e;
                                    return fs::file_size(store, e) + fs::file_size(dir / "tnstore1.mdb-wal", e) >
                                           before + (20u << 20);
                                });
    ASSERT_EQ(status, -1) << "the add ended before it could be interrupted";

    auto r = Tool({"fsck"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.err.find("took back 1"), std::string::npos) << r.err;
    r = Tool({"ls"});
    EXPECT_EQ(r.out, std::to_string(kept[0]) + "\t700000\tkeep.jpg\tkeep.jpg\n");
    EXPECT_EQ(Tool({"cat", std::to_string(kept[0])}).out, ReadFile(small));
}

TEST_F(LibraryCommandsTest, APasswordChangeKilledHalfWayCompletesAtTheNextOpen)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    std::vector<fs::path> files;
    for (unsigned i = 0; i < 24; ++i)
        files.push_back(MakeFile("f" + std::to_string(i) + ".wav", 1500000 + i, i));
    const auto ids = Add(files);
    ASSERT_EQ(ids.size(), files.size());

    const int status = KillWhen({"passwd", "--data", dir.str()},
                                {{"VELMORA_PASSWORD", "pw one"}, {"VELMORA_NEW_PASSWORD", "pw two"}},
                                [](const std::string& err) { return err.find("[4/24]") != std::string::npos; });
    ASSERT_EQ(status, -1) << "the change ended before it could be interrupted";

    // The next open, with the old password the check value still names, finishes it.
    auto r = Tool({"fsck"}, "pw one");
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.err.find("completing an interrupted password change"), std::string::npos) << r.err;
    EXPECT_EQ(Tool({"ls"}, "pw one").exitCode, 2);
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(Tool({"cat", std::to_string(ids[i])}, "pw two").out, ReadFile(files[i])) << i;
}

} // namespace
} // namespace velmora::test
