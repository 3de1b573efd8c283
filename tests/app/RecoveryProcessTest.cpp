// The program killed in the middle of an add, a delete and a password change: the next
// start of the program (not the tool) finishes the change, finishes the delete and
// takes the half add back before anything else. The deletes and the change are made
// through the window, on a virtual X server of the test's own, as a user makes them.
#include "store/LibraryFiles.h"

#include "support/TestSupport.h"
#include "support/XDesktop.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// A hang guard, never a timing check: a process that takes this long has hung.
constexpr int kHangGuardMs = 60000;

class RecoveryProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::permissions(runtime.path(), fs::perms::owner_all, fs::perm_options::replace);
        // The window at a known place, so that its rows are where the test clicks.
        fs::create_directories(config / "Velmora");
        std::ofstream ini(config / "Velmora" / "Velmora.ini");
        ini << "[Screen]\nTop=0\nLeft=0\nWidth=900\nHeight=620\nMaximized=0\n\n[Settings]\nBackground Monitor=0\n";
    }
    void TearDown() override { Stop(); }

    QProcessEnvironment Environment(bool onDisplay) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.str()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.str()));
        env.remove("VELMORA_PASSWORD");
        if (onDisplay) {
            env.insert("QT_QPA_PLATFORM", "xcb");
            env.insert("DISPLAY", display->Display());
        } else {
            env.insert("QT_QPA_PLATFORM", "offscreen");
        }
        return env;
    }
    void Start(const QStringList& arguments, bool onDisplay)
    {
        velmora.setProcessEnvironment(Environment(onDisplay));
        velmora.start(QString::fromStdString((BinDir() / "velmora").string()), arguments);
        ASSERT_TRUE(velmora.waitForStarted(kHangGuardMs));
    }
    void Stop()
    {
        if (velmora.state() != QProcess::NotRunning) {
            velmora.kill();
            velmora.waitForFinished(kHangGuardMs);
        }
    }
    // Kills the program once ready() holds; false when it ended first (or hung).
    bool KillWhen(const std::function<bool()>& ready)
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (velmora.state() == QProcess::Running && !guard.hasExpired()) {
            if (ready()) {
                velmora.kill();
                velmora.waitForFinished(kHangGuardMs);
                return true;
            }
            velmora.waitForFinished(5);
        }
        Stop();
        return false;
    }

    std::string Xdo(const QStringList& arguments)
    {
        return display->Run("xdotool", arguments).toStdString();
    }
    std::set<std::string> Windows(const QStringList& how)
    {
        std::set<std::string> ids;
        std::istringstream lines(Xdo(QStringList{"search", "--onlyvisible"} + how));
        for (std::string id; lines >> id;)
            ids.insert(id);
        return ids;
    }
    // Waits for a window other than those known; focuses it.
    std::string AwaitWindow(const QStringList& how, const std::set<std::string>& known = {})
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (!guard.hasExpired() && velmora.state() == QProcess::Running) {
            for (const std::string& id : Windows(how))
                if (!known.count(id)) {
                    Xdo({"windowfocus", "--sync", QString::fromStdString(id)});
                    return id;
                }
            QThread::msleep(50);
        }
        ADD_FAILURE() << "no window " << how.join(' ').toStdString() << ": "
                      << velmora.readAllStandardError().toStdString();
        return {};
    }
    bool AwaitNoWindow(const QStringList& how)
    {
        const QDeadlineTimer guard(kHangGuardMs);
        while (!guard.hasExpired() && velmora.state() == QProcess::Running) {
            if (Windows(how).empty())
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    // Types the password at the gate; the main window is up once recovery has run.
    void PassTheGate(const std::string& password)
    {
        AwaitWindow({"--name", "Password Protected"});
        Xdo({"type", "--delay", "20", QString::fromStdString(password)});
        Xdo({"key", "Return"});
        ASSERT_TRUE(AwaitNoWindow({"--name", "Password Protected"})) << velmora.readAllStandardError().toStdString();
        AwaitWindow({"--classname", "velmora"});
    }

    ProcessResult Tool(const std::vector<std::string>& args, const std::string& password = "pw one")
    {
        std::vector<std::string> all{args.front(), "--data", library.str()};
        all.insert(all.end(), args.begin() + 1, args.end());
        return RunProgram("velmora-tool", all, {{"VELMORA_PASSWORD", password}});
    }
    std::vector<int> Add(const std::vector<fs::path>& files)
    {
        std::vector<std::string> args{"add"};
        for (const auto& f : files)
            args.push_back(f.string());
        const auto r = Tool(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<int> ids;
        std::istringstream numbers(r.out);
        for (int id; numbers >> id;)
            ids.push_back(id);
        return ids;
    }
    fs::path MakeFile(const std::string& name, std::size_t size, unsigned seed)
    {
        WriteFile(sources / name, PatternBytes(size, seed));
        return sources / name;
    }
    std::int64_t Main(const std::string& sql) { return RawScalar(library / kMainDatabaseName, sql); }
    std::int64_t Store(const std::string& sql) { return RawScalar(library / "tnstore1.mdb", sql); }
    // The tool's check, which must find nothing left for it to finish.
    void ExpectConsistentWithNothingLeft(const std::string& password = "pw one")
    {
        const auto check = Tool({"fsck"}, password);
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_EQ(check.err, "");
    }

    TempDir runtime;
    TempDir config;
    TempDir library;
    TempDir sources;
    std::unique_ptr<XDesktop> display;
    QProcess velmora;
};

TEST_F(RecoveryProcessTest, AnAddKilledHalfWayIsTakenBackByTheNextStart)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const auto kept = Add({MakeFile("keep.jpg", 700000, 1)});
    const fs::path big = MakeFile("big.avi", 200u << 20, 2);
    Start({QString::fromStdString(library.str()), QString::fromStdString(big.string())}, false);
    ASSERT_TRUE(KillWhen([&] { return Store("Select count(*) from recobject") > 40; }))
        << "the add ended before it could be interrupted";

    const fs::path small = MakeFile("small.jpg", 5000, 3);
    Start({QString::fromStdString(library.str()), QString::fromStdString(small.string())}, false);
    ASSERT_TRUE(velmora.waitForFinished(kHangGuardMs));

    EXPECT_EQ(Main("Select count(*) from pendingadd"), 0);
    EXPECT_EQ(Main("Select count(*) from Record"), 2);
    EXPECT_EQ(Main("Select count(*) from Record where rec_tnorigname = 'big.avi'"), 0);
    EXPECT_EQ(Store("Select count(*) from recobject"), 3);   // keep.jpg's two chunks, small.jpg's one
    ExpectConsistentWithNothingLeft();
    EXPECT_EQ(Tool({"cat", std::to_string(kept[0])}).out, ReadFile(sources / "keep.jpg"));
}

TEST_F(RecoveryProcessTest, ADeleteKilledHalfWayIsFinishedByTheNextStart)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const auto big = Add({MakeFile("big.avi", 100u << 20, 4)});
    const std::string bigChunks = "Select count(*) from recobject where ro_record = " + std::to_string(big[0]);
    const std::int64_t all = Store(bigChunks);
    display = std::make_unique<XDesktop>();
    ASSERT_FALSE(display->Display().isEmpty()) << "Xvfb did not start";

    Start({QString::fromStdString(library.str())}, true);
    PassTheGate("pw one");
    // File > Tabs > Library; the one row, then Delete and Yes.
    Xdo({"key", "alt+f", "Return", "Down", "Return"});
    Xdo({"mousemove", "235", "158", "click", "1"});
    const std::set<std::string> before = Windows({"--name", "."});
    Xdo({"key", "Delete"});
    AwaitWindow({"--name", "."}, before);
    Xdo({"key", "Return"});
    ASSERT_TRUE(KillWhen([&] { return Store(bigChunks) < all - 4; }))
        << "the program ended: " << velmora.readAllStandardError().toStdString();
    ASSERT_GT(Store(bigChunks), 0) << "the delete ended before it could be interrupted";

    Start({QString::fromStdString(library.str())}, true);
    PassTheGate("pw one");
    Stop();
    EXPECT_EQ(Main("Select count(*) from Record"), 0);
    EXPECT_EQ(Main("Select count(*) from pendingdelete"), 0);
    EXPECT_EQ(Store(bigChunks), 0);
    ExpectConsistentWithNothingLeft();
}

TEST_F(RecoveryProcessTest, APasswordChangeKilledHalfWayIsFinishedByTheNextStart)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    std::vector<fs::path> files;
    for (unsigned i = 0; i < 40; ++i)
        files.push_back(MakeFile("f" + std::to_string(i) + ".wav", 1500000 + i, i));
    const auto ids = Add(files);
    ASSERT_EQ(ids.size(), files.size());
    display = std::make_unique<XDesktop>();
    ASSERT_FALSE(display->Display().isEmpty()) << "Xvfb did not start";

    Start({QString::fromStdString(library.str())}, true);
    PassTheGate("pw one");
    // Tools > Change Password..., the three fields, OK, and Yes to the question.
    Xdo({"key", "alt+t", "Return"});
    AwaitWindow({"--name", "Change Password"});
    Xdo({"type", "--delay", "20", "pw one\tpw two\tpw two"});
    const std::set<std::string> before = Windows({"--name", "."});
    Xdo({"key", "Return"});
    AwaitWindow({"--name", "."}, before);
    Xdo({"key", "Return"});
    ASSERT_TRUE(KillWhen([&] {
        return Store("Select count(*) from recobject where ro_keygen = 1") > 4 &&
               Main("Select opt_keygen from options") == 0;
    })) << "the program ended: " << velmora.readAllStandardError().toStdString();
    ASSERT_EQ(Main("Select count(*) from keychange"), 1) << "the change ended before it could be interrupted";

    // The gate takes either password while the change is unfinished; the start finishes
    // it and says so, since the old password typed here opens the library no more.
    Start({QString::fromStdString(library.str())}, true);
    const std::string gate = AwaitWindow({"--name", "Password Protected"});
    Xdo({"type", "--delay", "20", "pw one"});
    Xdo({"key", "Return"});
    const std::string told = AwaitWindow({"--name", "^Velmora$"});
    ASSERT_FALSE(told.empty());
    // A message over the gate, not the main window behind it.
    EXPECT_TRUE(Windows({"--name", "Password Protected"}).count(gate)) << "the gate went without a word";
    EXPECT_LT(display->WindowGeometry(QString::fromStdString(told)).width, 710);
    Xdo({"key", "Return"});
    ASSERT_TRUE(AwaitNoWindow({"--name", "Password Protected"})) << velmora.readAllStandardError().toStdString();
    Stop();
    EXPECT_EQ(Main("Select count(*) from keychange"), 0);
    EXPECT_EQ(Main("Select opt_keygen from options"), 1);
    EXPECT_EQ(Tool({"ls"}, "pw one").exitCode, 2);
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_TRUE(Tool({"cat", std::to_string(ids[i])}, "pw two").out == ReadFile(files[i])) << files[i];
    ExpectConsistentWithNothingLeft("pw two");

    // Told once: the next start opens with the new password and nothing more.
    Start({QString::fromStdString(library.str())}, true);
    PassTheGate("pw two");
}

} // namespace
} // namespace velmora::test
