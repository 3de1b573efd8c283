// Adds and exports killed with SIGKILL at random moments while their chunks are on the
// way between threads: the library is always consistent, and the item (in the library,
// or in the archive) is either whole or not there.
#include "support/TestSupport.h"

#include "store/CheckValue.h"
#include "store/Connection.h"
#include "store/Library.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/ThumbnailCache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 5;

// velmora-tool with extra environment, its output dropped; started at once.
pid_t StartTool(const std::vector<std::string>& args, const std::map<std::string, std::string>& env)
{
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    for (const auto& [k, v] : env)
        environment.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = (BinDir() / "velmora-tool").string();
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0);
    return spawned == 0 ? pid : -1;
}

// Waits for the processes started at start, killing with SIGKILL, all at the same
// moment, those still running after delay. Returns, for each, whether it was killed.
std::vector<bool> FinishOrKill(const std::vector<pid_t>& pids, Clock::time_point start,
                               std::chrono::microseconds delay)
{
    std::vector<bool> killed(pids.size(), false);
    std::vector<bool> ended(pids.size(), false);
    auto reap = [&](std::size_t i, int options) {
        int status = 0;
        if (pids[i] < 0 || ::waitpid(pids[i], &status, options) == 0)
            return false;
        ended[i] = true;
        killed[i] = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        return true;
    };
    for (bool running = true; running;) {
        running = false;
        for (std::size_t i = 0; i < pids.size(); ++i)
            running = (!ended[i] && !reap(i, WNOHANG)) || running;
        if (running && Clock::now() - start >= delay) {
            for (std::size_t i = 0; i < pids.size(); ++i)
                if (!ended[i])
                    ::kill(pids[i], SIGKILL);
            for (std::size_t i = 0; i < pids.size(); ++i)
                if (!ended[i])
                    reap(i, 0);
            break;
        }
        if (running)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return killed;
}

// velmora-tool with extra environment, killed with SIGKILL after delay unless it has
// ended by then. Returns how long it ran and whether it was killed.
struct ToolRun {
    std::chrono::microseconds took{};
    bool killed = false;
};

ToolRun RunTool(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
            std::chrono::microseconds delay)
{
    const auto start = Clock::now();
    const std::vector<bool> killed = FinishOrKill({StartTool(args, env)}, start, delay);
    return {std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start), killed.front()};
}

class KilledTransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const unsigned seed = std::random_device{}();
        random.seed(seed);
        RecordProperty("seed", static_cast<int>(seed));
        std::cerr << "random seed " << seed << '\n';
    }
    ProcessResult Tool(const TempDir& library, const std::string& password, std::vector<std::string> args)
    {
        args.insert(args.begin() + 1, {"--data", library.str()});
        return RunProgram("velmora-tool", args,
                          {{"VELMORA_PASSWORD", password}, {"VELMORA_ARCHIVE_PASSWORD", "for the archive"}});
    }
    // Runs velmora-tool command (on the library, with the archive password at hand)
    // once to its end, then kRounds times killed at a moment drawn anywhere from its
    // start to the end of that first run; check follows each, told whether the run was
    // killed.
    void KillAtRandomMoments(std::vector<std::string> command, const std::function<void(bool killed)>& check)
    {
        command.insert(command.begin() + 1, {"--data", library.str()});
        const std::map<std::string, std::string> env{{"VELMORA_PASSWORD", "pw one"},
                                                     {"VELMORA_ARCHIVE_PASSWORD", "for the archive"}};
        const ToolRun whole = RunTool(command, env, std::chrono::minutes(5));
        ASSERT_FALSE(whole.killed);
        check(false);
        for (int round = 0; round < kRounds; ++round) {
            const std::chrono::microseconds moment(
                std::uniform_int_distribution<long long>(0, whole.took.count())(random));
            SCOPED_TRACE("killed after " + std::to_string(moment.count()) + " us");
            check(RunTool(command, env, moment).killed);
        }
    }
    // A new library with a movie of several dozen chunks beside it.
    void SetUpLibrary(unsigned seed)
    {
        ASSERT_EQ(Tool(library, "pw one", {"init"}).exitCode, 0);
        content = PatternBytes(40000001, seed);
        WriteFile(movie, content);
    }
    void ExpectConsistent(const TempDir& library, const std::string& password)
    {
        const auto check = Tool(library, password, {"fsck"});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    }

    std::mt19937 random;
    TempDir sources;
    TempDir library;
    const fs::path movie = sources / "movie.avi";
    std::string content;
};

TEST_F(KilledTransferTest, AnAddKilledAnywhereLeavesTheItemWholeOrGone)
{
    SetUpLibrary(1);
    int expected = 0;
    KillAtRandomMoments({"add", movie.string()}, [&](bool killed) {
        if (!killed)
            ++expected;
        ExpectConsistent(library, "pw one");
        const auto listed = Tool(library, "pw one", {"ls"});
        std::istringstream lines(listed.out);
        int items = 0;
        for (std::string line; std::getline(lines, line); ++items) {
            const std::string id = line.substr(0, line.find('\t'));
            EXPECT_EQ(line.substr(line.find('\t')), "\t40000001\tmovie.avi\tmovie.avi") << line;
            EXPECT_TRUE(Tool(library, "pw one", {"cat", id}).out == content) << "item " << id << " differs";
        }
        // A killed add may have got as far as completing its item.
        EXPECT_GE(items, expected);
        expected = items;
    });
}

TEST_F(KilledTransferTest, AnExportKilledAnywhereLeavesTheLibraryAsItWasAndTheItemWholeOrGone)
{
    SetUpLibrary(2);
    ASSERT_EQ(Tool(library, "pw one", {"add", movie.string()}).exitCode, 0);
    const fs::path archive = sources / "movie.eta";
    // Each check ends with the archive gone: what the next run leaves is its own.
    KillAtRandomMoments({"export", "--archive", archive.string(), "1"}, [&](bool) {
        ExpectConsistent(library, "pw one");
        EXPECT_TRUE(Tool(library, "pw one", {"cat", "1"}).out == content);

        // What the archive holds, as another library imports it: the item whole, or nothing.
        TempDir other;
        ASSERT_EQ(Tool(other, "pw two", {"init"}).exitCode, 0);
        const auto imported = Tool(other, "pw two", {"import", "--archive", archive.string()});
        ExpectConsistent(other, "pw two");
        const auto listed = Tool(other, "pw two", {"ls"});
        fs::remove(archive);
        if (imported.exitCode != 0 || listed.out.empty()) {
            EXPECT_EQ(listed.out, "");
            return;
        }
        EXPECT_EQ(listed.out, "1\t40000001\tmovie.avi\tmovie.avi\n");
        EXPECT_TRUE(Tool(other, "pw two", {"cat", "1"}).out == content);
    });
}

// The space booked in each store must match its chunks exactly whatever two processes
// were doing when they were killed: fsck says so after the next opening.
TEST_F(KilledTransferTest, AnAddAndADeleteKilledTogetherLeaveTheSpaceExact)
{
    SetUpLibrary(3);
    const std::map<std::string, std::string> env{{"VELMORA_PASSWORD", "pw one"}};
    int nextItem = 1;
    auto commands = [&] {
        return std::vector<std::vector<std::string>>{{"add", "--data", library.str(), movie.string()},
                                                     {"rm", "--data", library.str(), std::to_string(nextItem)}};
    };
    // Both to their end once, for the length of a round.
    ASSERT_EQ(Tool(library, "pw one", {"add", movie.string()}).exitCode, 0);
    auto start = Clock::now();
    std::vector<pid_t> pids;
    for (const auto& command : commands())
        pids.push_back(StartTool(command, env));
    FinishOrKill(pids, start, std::chrono::minutes(5));
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    ExpectConsistent(library, "pw one");

    for (int round = 0; round < kRounds; ++round) {
        // The item to delete: the one the last round's add left, or a new one.
        const auto listed = Tool(library, "pw one", {"ls"});
        if (listed.out.empty()) {
            ASSERT_EQ(Tool(library, "pw one", {"add", movie.string()}).exitCode, 0);
        }
        nextItem = std::stoi(Tool(library, "pw one", {"ls"}).out);
        const std::chrono::microseconds moment(std::uniform_int_distribution<long long>(0, whole.count())(random));
        SCOPED_TRACE("both killed after " + std::to_string(moment.count()) + " us");
        start = Clock::now();
        pids.clear();
        for (const auto& command : commands())
            pids.push_back(StartTool(command, env));
        FinishOrKill(pids, start, moment);
        ExpectConsistent(library, "pw one");
        if (HasFailure())
            return;
    }
}

TEST_F(KilledTransferTest, AnAddKilledWhileAnotherRunsLeavesTheSpaceExact)
{
    SetUpLibrary(4);
    const fs::path longer = sources / "longer.avi";
    WriteFile(longer, PatternBytes(120000001, 5));
    const std::map<std::string, std::string> env{{"VELMORA_PASSWORD", "pw one"}};
    const std::vector<std::string> killedAdd{"add", "--data", library.str(), movie.string()};
    const ToolRun alone = RunTool(killedAdd, env, std::chrono::minutes(5));
    ASSERT_FALSE(alone.killed);

    int takenBackMeanwhile = 0;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = Clock::now();
        const pid_t other = StartTool({"add", "--data", library.str(), longer.string()}, env);
        // Killed half-way through its chunks, give or take.
        const std::chrono::microseconds moment(
            std::uniform_int_distribution<long long>(alone.took.count() / 5, alone.took.count() * 3 / 5)(random));
        SCOPED_TRACE("killed after " + std::to_string(moment.count()) + " us");
        FinishOrKill({StartTool(killedAdd, env)}, Clock::now(), moment);
        // Opened while the other add runs: the killed add is taken back now, but its
        // bookings cannot be counted again before the other add has ended.
        const auto opened = Tool(library, "pw one", {"ls"});
        int status = 0;
        if (::waitpid(other, &status, WNOHANG) == 0 &&
            opened.err.find("took back 1 add") != std::string::npos)
            ++takenBackMeanwhile;
        FinishOrKill({other}, start, std::chrono::minutes(5));
        ExpectConsistent(library, "pw one");
        if (HasFailure())
            return;
    }
    EXPECT_GT(takenBackMeanwhile, 0) << "no round took an add back while the other ran: the test saw nothing";
}

// What the thumbnail rows of the library in folder are readable as, opened as the next
// program would find the files: for each row, whether its content decrypts to a PNG
// under each of the two passwords.
struct ThumbnailKeys {
    int rows = 0;
    int underOne = 0;
    int underTwo = 0;
    bool changeRecorded = false;
};

ThumbnailKeys ReadThumbnailKeys(const fs::path& folder)
{
    SetDataDir(folder.string());
    ThumbnailKeys keys;
    {
        db::Connection main(LibraryConnectionString(0));
        main.Open();
        db::Query change(main, "Select count(*) as n from keychange");
        db::Query generation(main, "Select opt_keygen from options");
        keys.changeRecorded = change.AsInteger("n") != 0 || generation.AsInteger("opt_keygen") != 0;
        for (db::Query rows(main, "Select th_data from thumbnail"); !rows.Eof(); rows.Next()) {
            const std::string data = rows.AsString("th_data");
            ++keys.rows;
            keys.underOne += DecryptBytes("pw one", data).substr(0, 8) == std::string(kPngSignature, 8);
            keys.underTwo += DecryptBytes("pw two", data).substr(0, 8) == std::string(kPngSignature, 8);
        }
    }
    SetDataDir({});
    return keys;
}

// A password change killed at any moment: the thumbnails are all under the old key
// until the change is recorded and all under the new one from then on, never readable
// under the old password once the change has begun; the next opening finishes the
// change with every thumbnail still there, and fsck finds the library consistent.
TEST_F(KilledTransferTest, APasswordChangeKilledAnywhereLeavesNoThumbnailUnderTheOldKey)
{
    TempDir prepared;
    ASSERT_EQ(Tool(prepared, "pw one", {"init"}).exitCode, 0);
    constexpr int kItems = 8;
    for (int i = 0; i < kItems; ++i) {
        const fs::path picture = sources / ("p" + std::to_string(i) + ".jpg");
        WriteFile(picture, PatternBytes(2500001, static_cast<unsigned>(i)));
        ASSERT_EQ(Tool(prepared, "pw one", {"add", picture.string()}).exitCode, 0);
    }
    {
        SetDataDir(prepared.str());
        Library library;
        library.Open();
        ASSERT_TRUE(library.VerifyPassword("pw one", true));
        for (int item = 1; item <= kItems; ++item)
            ASSERT_TRUE(KeepThumbnail(library.MainConnection(), item,
                                      std::string(kPngSignature, 8) + "cell of item " + std::to_string(item)));
    }
    ObjectStore::ForThisThread().Close();
    SetLibraryPassword({}, 0);
    SetDataDir({});

    const auto copyPrepared = [&](const TempDir& to) {
        for (const auto& entry : fs::directory_iterator(to.path()))
            fs::remove_all(entry.path());
        for (const auto& entry : fs::directory_iterator(prepared.path()))
            fs::copy(entry.path(), to.path() / entry.path().filename());
    };
    const std::map<std::string, std::string> env{{"VELMORA_PASSWORD", "pw one"}, {"VELMORA_NEW_PASSWORD", "pw two"}};
    copyPrepared(library);
    const ToolRun whole = RunTool({"passwd", "--data", library.str()}, env, std::chrono::minutes(5));
    ASSERT_FALSE(whole.killed);
    ThumbnailKeys done = ReadThumbnailKeys(library.path());
    EXPECT_EQ(done.rows, kItems);
    EXPECT_EQ(done.underTwo, kItems);
    EXPECT_EQ(done.underOne, 0);
    ExpectConsistent(library, "pw two");

    for (int round = 0; round < kRounds; ++round) {
        copyPrepared(library);
        const std::chrono::microseconds moment(std::uniform_int_distribution<long long>(0, whole.took.count())(random));
        SCOPED_TRACE("killed after " + std::to_string(moment.count()) + " us");
        RunTool({"passwd", "--data", library.str()}, env, moment);

        const ThumbnailKeys left = ReadThumbnailKeys(library.path());
        EXPECT_EQ(left.rows, kItems);
        if (left.changeRecorded) {
            EXPECT_EQ(left.underOne, 0);
            EXPECT_EQ(left.underTwo, kItems);
        } else {
            EXPECT_EQ(left.underOne, kItems);
        }
        // The next opening, with the password the check value names, finishes the change.
        const auto check = Tool(library, "pw one", {"fsck"});
        if (check.exitCode == 2) {
            ExpectConsistent(library, "pw two");
        } else {
            EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        }
        const ThumbnailKeys after = ReadThumbnailKeys(library.path());
        EXPECT_EQ(after.rows, kItems);
        EXPECT_EQ(after.underOne == kItems, !left.changeRecorded);
        EXPECT_EQ(after.underTwo == kItems, left.changeRecorded);
        if (HasFailure())
            return;
    }
}

} // namespace
} // namespace velmora::test
