#include "support/LibraryFixture.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
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
    struct Case {
        std::vector<std::string> args;
        std::string password;
        std::string says;
    } cases[] = {
        {{"ls"}, "", "VELMORA_PASSWORD is not set"},
        {{"ls"}, "wrong", "wrong password"},
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

TEST_F(LibraryCommandsTest, AddTakesEveryFileItCanAndFoldersAsTheProgramDoesNamingWhatItSkipped)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const fs::path photo = MakeFile("a.jpg", 10, 1);
    const fs::path notes = MakeFile("notes.txt", 5, 2);
    const fs::path gone = sources / "gone.mp3";
    fs::create_directories(sources / "Holiday" / "Day 2");
    WriteFile(sources / "Holiday" / "beach.jpg", "sand");
    WriteFile(sources / "Holiday" / "list.txt", "not media, passed over as the program does");
    WriteFile(sources / "Holiday" / "Day 2" / "waves.mp3", "whoosh");

    const auto r = Tool({"add", photo.string(), notes.string(), gone.string(), (sources / "Holiday").string()});
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("skipped " + notes.string() + ": not a supported media file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(gone.string()), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3) << r.out;

    const auto listed = Tool({"ls"});
    for (const char* name : {"\ta.jpg\t", "\tbeach.jpg\t", "\twaves.mp3\t"})
        EXPECT_NE(listed.out.find(name), std::string::npos) << listed.out;
    const auto tree = Tool({"tree"});
    EXPECT_NE(tree.out.find("Holiday\t1\n  Day 2\t1\n"), std::string::npos) << tree.out;
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

// velmora-tool started without waiting for it.
class ToolProcess {
public:
    ToolProcess(const std::vector<std::string>& args, const std::map<std::string, std::string>& env)
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [k, v] : env)
            environment.insert(QString::fromStdString(k), QString::fromStdString(v));
        m_process.setProcessEnvironment(environment);
        QStringList arguments;
        for (const auto& a : args)
            arguments << QString::fromStdString(a);
        m_process.start(QString::fromStdString((BinDir() / "velmora-tool").string()), arguments);
        EXPECT_TRUE(m_process.waitForStarted());
    }
    bool Running() const { return m_process.state() == QProcess::Running; }
    // Standard error as far as it has come, waiting a moment for more.
    std::string MoreError()
    {
        m_process.waitForReadyRead(5);
        return m_process.readAllStandardError().toStdString();
    }
    void Kill() { m_process.kill(); }
    ProcessResult Wait()
    {
        m_process.waitForFinished(-1);
        return {m_process.exitStatus() == QProcess::CrashExit ? -1 : m_process.exitCode(),
                m_process.readAllStandardOutput().toStdString(), m_process.readAllStandardError().toStdString()};
    }

private:
    QProcess m_process;
};

// Starts velmora-tool and kills it with SIGKILL as soon as ready() says so.
int KillWhen(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
             const std::function<bool(const std::string& err)>& ready)
{
    ToolProcess process(args, env);
    std::string err;
    while (process.Running()) {
        err += process.MoreError();
        if (ready(err)) {
            process.Kill();
            break;
        }
    }
    return process.Wait().exitCode;
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

TEST_F(LibraryCommandsTest, InitWithARefusedPasswordMakesNothing)
{
    fs::create_directories(dir / "empty");
    for (const std::string folder : {"new", "empty"}) {
        for (const std::string password : {"", " leading", "trailing "}) {
            SCOPED_TRACE(folder + " / \"" + password + "\"");
            const auto r = RunProgram("velmora-tool", {"init", "--data", (dir / folder).string()},
                                      {{"VELMORA_PASSWORD", password}});
            EXPECT_EQ(r.exitCode, 2);
            EXPECT_EQ(fs::exists(dir / folder), folder == "empty");
            if (fs::exists(dir / folder)) {
                EXPECT_TRUE(fs::is_empty(dir / folder));
            }
        }
        const auto made = RunProgram("velmora-tool", {"init", "--data", (dir / folder).string()},
                                     {{"VELMORA_PASSWORD", "pw one"}});
        EXPECT_EQ(made.exitCode, 0) << made.err;
    }
}

// Polls until done() (a hang guard, never a timing check); false when the process
// ended first.
bool WaitWhile(const ToolProcess& process, const std::function<bool()>& done)
{
    while (process.Running()) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

TEST_F(LibraryCommandsTest, AnAddAndAPasswordChangeFromTwoProcessesNeverMix)
{
    for (const bool addFirst : {true, false}) {
        SCOPED_TRACE(addFirst ? "the add first" : "the change first");
        const fs::path data = dir / (addFirst ? "add first" : "change first");
        const std::map<std::string, std::string> oldPassword{{"VELMORA_PASSWORD", "pw one"}};
        const std::map<std::string, std::string> newPassword{{"VELMORA_PASSWORD", "pw two"}};
        ASSERT_EQ(RunProgram("velmora-tool", {"init", "--data", data.string()}, oldPassword).exitCode, 0);
        std::vector<fs::path> files;
        std::vector<std::string> addArgs{"add", "--data", data.string()};
        for (unsigned i = 0; i < (addFirst ? 4u : 40u); ++i) {
            files.push_back(MakeFile((addFirst ? "a" : "c") + std::to_string(i) + ".wav", 1500000 + i, i));
            addArgs.push_back(files.back().string());
        }
        auto added = RunProgram("velmora-tool", addArgs, oldPassword);
        ASSERT_EQ(added.exitCode, 0) << added.err;
        const fs::path main = data / "tndb.mdb";
        const fs::path store = data / "tnstore1.mdb";
        const std::int64_t chunksBefore = RawScalar(store, "Select count(*) from recobject");

        const fs::path late = MakeFile(addFirst ? "long.avi" : "late.jpg", addFirst ? 100u << 20 : 1200000, 99);
        std::map<std::string, std::string> changeEnv = oldPassword;
        changeEnv["VELMORA_NEW_PASSWORD"] = "pw two";
        std::unique_ptr<ToolProcess> first;
        std::unique_ptr<ToolProcess> second;
        if (addFirst) {
            first = std::make_unique<ToolProcess>(std::vector<std::string>{"add", "--data", data.string(), late.string()},
                                                  oldPassword);
            ASSERT_TRUE(WaitWhile(*first, [&] {
                return RawScalar(store, "Select count(*) from recobject") > chunksBefore + 4;
            })) << "the add ended before the change could start";
            second = std::make_unique<ToolProcess>(std::vector<std::string>{"passwd", "--data", data.string()},
                                                   changeEnv);
        } else {
            first = std::make_unique<ToolProcess>(std::vector<std::string>{"passwd", "--data", data.string()},
                                                  changeEnv);
            ASSERT_TRUE(WaitWhile(*first, [&] {
                return RawScalar(store, "Select count(*) from recobject where ro_keygen = 1") > 4 &&
                       RawScalar(main, "Select opt_keygen from options") == 0;
            })) << "the change ended before the add could start";
            second = std::make_unique<ToolProcess>(std::vector<std::string>{"add", "--data", data.string(), late.string()},
                                                   oldPassword);
        }
        const ProcessResult one = first->Wait();
        const ProcessResult two = second->Wait();
        ASSERT_EQ(one.exitCode, 0) << one.err;
        ASSERT_EQ(two.exitCode, 0) << two.err;

        files.push_back(late);
        std::vector<int> ids;
        std::istringstream numbers(added.out + (addFirst ? one.out : two.out));
        for (int id; numbers >> id;)
            ids.push_back(id);
        ASSERT_EQ(ids.size(), files.size());
        EXPECT_EQ(RunProgram("velmora-tool", {"ls", "--data", data.string()}, oldPassword).exitCode, 2);
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto read = RunProgram("velmora-tool", {"cat", "--data", data.string(), std::to_string(ids[i])},
                                         newPassword);
            EXPECT_EQ(read.exitCode, 0) << read.err;
            EXPECT_TRUE(read.out == ReadFile(files[i])) << files[i];
        }
        const auto check = RunProgram("velmora-tool", {"fsck", "--data", data.string()}, newPassword);
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        fs::remove(late);
    }
}

TEST_F(LibraryCommandsTest, RmDeletesItemsAndSaysWhatItCannot)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const auto ids = Add({MakeFile("a.jpg", 10, 1), MakeFile("b.mp3", 1000001, 2), MakeFile("c.wav", 700000, 3)});
    ASSERT_EQ(ids.size(), 3u);
    auto r = Tool({"rm", std::to_string(ids[0]), std::to_string(ids[2])});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Tool({"ls"}).out, std::to_string(ids[1]) + "\t1000001\tb.mp3\tb.mp3\n");
    r = Tool({"fsck"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;

    for (const std::string& bad : std::vector<std::string>{std::to_string(ids[0]), "abc", "0"}) {
        SCOPED_TRACE(bad);
        r = Tool({"rm", std::to_string(ids[1]), bad});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(Tool({"cat", std::to_string(ids[1])}).out, ReadFile(sources.path() / "b.mp3"));   // nothing deleted
}

TEST_F(LibraryCommandsTest, ADeleteKilledHalfWayIsFinishedAtTheNextOpen)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const auto kept = Add({MakeFile("keep.jpg", 700000, 1)});
    const auto big = Add({MakeFile("big.avi", 100u << 20, 2)});
    ASSERT_EQ(big.size(), 1u);
    const fs::path store = dir / "tnstore1.mdb";
    const std::string bigChunks = "Select count(*) from recobject where ro_record = " + std::to_string(big[0]);
    const std::int64_t all = RawScalar(store, bigChunks);
    const int status = KillWhen({"rm", "--data", dir.str(), std::to_string(big[0])}, {{"VELMORA_PASSWORD", "pw one"}},
                                [&](const std::string&) { return RawScalar(store, bigChunks) < all - 4; });
    ASSERT_EQ(status, -1) << "the delete ended before it could be interrupted";
    ASSERT_GT(RawScalar(store, bigChunks), 0) << "the delete ended before it could be interrupted";

    // Gone from the catalogue at once, before the next open finishes freeing it.
    EXPECT_EQ(RawScalar(dir / "tndb.mdb", "Select count(*) from Record where rec_ident = " + std::to_string(big[0])), 0);
    auto r = Tool({"fsck"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.err.find("finished 1 interrupted delete"), std::string::npos) << r.err;
    EXPECT_EQ(RawScalar(store, bigChunks), 0);
    EXPECT_EQ(Tool({"ls"}).out, std::to_string(kept[0]) + "\t700000\tkeep.jpg\tkeep.jpg\n");
    EXPECT_EQ(Tool({"cat", std::to_string(kept[0])}).out, ReadFile(sources.path() / "keep.jpg"));
}

} // namespace
} // namespace velmora::test
