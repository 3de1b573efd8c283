// Power cuts during an add, an import, a delete and a password change. The run of
// velmora-tool is logged write by write and sync by sync (support/WriteLog.h); each state
// a cut could leave is rebuilt from the log and opened as the next program would open
// it: the library must be consistent after that opening (fsck), every item it lists must
// read back exactly, nothing the run had reported may be missing, and the next add must
// work. A cut keeps, file by file, either everything written before it or only what was
// synced; the cuts are taken at every point where something other than more bytes of the
// same file happens. VELMORA_CRASH_STATES=all takes them after every single entry.
#include "support/TestSupport.h"
#include "support/WriteLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kOldPassword = "pw one";
constexpr const char* kNewPassword = "pw two";

// States are rebuilt and opened in memory when the machine has a memory file system:
// nothing there needs a real disk, and the syncs of hundreds of openings cost nothing.
fs::path ScratchParent()
{
    std::error_code error;
    if (fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return fs::temp_directory_path();
}

bool IsMainDatabase(const std::string& file)
{
    return file.rfind("tndb.mdb", 0) == 0;
}

// How much of each file a kind of cut keeps.
struct CutKind {
    const char* name;
    Persistence (*of)(const std::string& file);
};
const CutKind kCutKinds[] = {
    {"everything written", [](const std::string&) { return Persistence::Everything; }},
    {"only what was synced", [](const std::string&) { return Persistence::SyncedOnly; }},
    {"the main database as written, the rest as synced",
     [](const std::string& file) { return IsMainDatabase(file) ? Persistence::Everything : Persistence::SyncedOnly; }},
    {"the stores as written, the main database as synced",
     [](const std::string& file) { return IsMainDatabase(file) ? Persistence::SyncedOnly : Persistence::Everything; }},
};

// What a state must show, given what the run had reported before the cut.
struct Expected {
    std::map<int, std::string> contents;   // every item that may be listed, by number
    std::set<int> listed;                  // items that must be listed
    std::set<int> gone;                    // items that must not be
    bool oldPasswordRefused = false;       // a change was reported
};

std::set<int> NumbersIn(const std::string& text)
{
    std::set<int> numbers;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
            numbers.insert(std::stoi(line));
    return numbers;
}

class CrashStateTest : public ::testing::Test {
protected:
    void SetUp() override { WriteFile(nextAdd, PatternBytes(600000, 99)); }

    ProcessResult Tool(const fs::path& folder, const std::string& password, std::vector<std::string> args,
                       std::map<std::string, std::string> env = {})
    {
        env.emplace("VELMORA_PASSWORD", password);
        env.emplace("VELMORA_ARCHIVE_PASSWORD", "for the archive");
        args.insert(args.begin() + 1, {"--data", folder.string()});
        return RunProgram("velmora-tool", args, env);
    }
    // A media file of size bytes beside the library.
    std::string Source(const std::string& name, std::size_t size, unsigned seed)
    {
        const fs::path file = sources / name;
        WriteFile(file, PatternBytes(size, seed));
        return file.string();
    }
    int Added(const std::string& file)
    {
        const auto run = Tool(library.path(), kOldPassword, {"add", file});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const std::set<int> numbers = NumbersIn(run.out);
        return numbers.empty() ? 0 : *numbers.begin();
    }

    // Runs the command on the library under the write log; the states a cut could leave.
    std::unique_ptr<CrashStates> Record(const std::vector<std::string>& args, std::map<std::string, std::string> env = {})
    {
        const fs::path before = sources / "before";
        fs::create_directory(before);
        for (const auto& file : fs::directory_iterator(library.path()))
            fs::copy_file(file.path(), before / file.path().filename());
        const fs::path log = sources / "writes.log";
        env.merge(WriteLogEnvironment(log, library.path()));
        const auto run = Tool(library.path(), kOldPassword, args, env);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        auto states = std::make_unique<CrashStates>(before, ReadWriteLog(log));
        int syncs = 0;
        for (const auto& entry : states->Entries())
            syncs += entry.op == WriteLogOp::Sync;
        EXPECT_GT(syncs, 0) << "the log shows no sync: the run was not logged";
        return states;
    }

    // Opens every distinct state the cuts leave (with each password first when the run
    // changes it) and checks it against expect(what was reported, whether the run ended).
    void CheckEveryState(CrashStates& states, const std::function<Expected(const std::string&, bool)>& expect,
                         bool passwordChanges = false)
    {
        const char* every = std::getenv("VELMORA_CRASH_STATES");
        std::set<std::size_t> seen;
        int checked = 0;
        for (const std::size_t point : states.Points(every && std::string(every) == "all")) {
            for (const CutKind& kind : kCutKinds) {
                const CrashStates::Files files = states.At(point, kind.of);
                std::string all;
                for (const auto& [name, bytes] : files)
                    all += name + '\0' + bytes + '\0';
                if (!seen.insert(std::hash<std::string>{}(all)).second)
                    continue;
                const Expected expected = expect(states.OutputBefore(point), point == states.Size());
                std::vector<std::vector<std::string>> orders{{kOldPassword, kNewPassword}};
                if (passwordChanges)
                    orders.push_back({kNewPassword, kOldPassword});
                else
                    orders.front().pop_back();
                for (const auto& passwords : orders) {
                    SCOPED_TRACE("cut after entry " + std::to_string(point) + " of " + std::to_string(states.Size()) +
                                 ", keeping " + kind.name + ", opened with \"" + passwords.front() + "\" first");
                    CheckState(files, expected, passwords);
                    ++checked;
                    if (HasFailure())
                        return;   // one state's failures are enough to read
                }
            }
        }
        EXPECT_GT(checked, 2);
        std::cout << checked << " states checked\n";
    }

    void CheckState(const CrashStates::Files& files, const Expected& expected, const std::vector<std::string>& passwords)
    {
        TempDir state(ScratchParent());
        WriteFiles(files, state.path());
        if (expected.oldPasswordRefused) {
            const auto old = Tool(state.path(), kOldPassword, {"ls"});
            EXPECT_NE(old.exitCode, 0) << "the old password still opens the library after the change was reported";
        }
        // The first password that opens it; once a change is finished only the new one does.
        std::string password = passwords.front();
        auto run = [&](const std::vector<std::string>& args) {
            ProcessResult result = Tool(state.path(), password, args);
            if (result.exitCode == 2 && result.err.find("wrong password") != std::string::npos &&
                passwords.size() > 1) {
                password = password == passwords[0] ? passwords[1] : passwords[0];
                result = Tool(state.path(), password, args);
            }
            return result;
        };
        const auto check = run({"fsck"});
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        const auto listing = run({"ls"});
        ASSERT_EQ(listing.exitCode, 0) << listing.err;
        std::set<int> listed;
        std::istringstream lines(listing.out);
        for (std::string line; std::getline(lines, line);)
            listed.insert(std::stoi(line.substr(0, line.find('\t'))));
        for (const int id : listed) {
            const auto known = expected.contents.find(id);
            if (known == expected.contents.end()) {
                ADD_FAILURE() << "item " << id << " is listed, but no run made it";
                continue;
            }
            const auto read = run({"cat", std::to_string(id)});
            EXPECT_EQ(read.exitCode, 0) << "item " << id << ": " << read.err;
            EXPECT_TRUE(read.out == known->second) << "item " << id << " reads " << read.out.size()
                                                   << " bytes that are not its content";
        }
        for (const int id : expected.listed)
            EXPECT_TRUE(listed.count(id)) << "item " << id << " was lost";
        for (const int id : expected.gone)
            EXPECT_FALSE(listed.count(id)) << "item " << id << " is back after its delete ended";
        // The library goes on working, and its bookkeeping stays exact.
        const auto added = run({"add", nextAdd.string()});
        EXPECT_EQ(added.exitCode, 0) << added.err;
        const auto after = run({"fsck"});
        EXPECT_EQ(after.exitCode, 0) << after.out << after.err;
    }

    TempDir library{ScratchParent()};
    TempDir sources{ScratchParent()};
    TempDir elsewhere{ScratchParent()};
    const fs::path nextAdd = elsewhere / "next.jpg";
};

TEST_F(CrashStateTest, AnAddCutByAPowerFailure)
{
    ASSERT_EQ(Tool(library.path(), kOldPassword, {"init"}).exitCode, 0);
    const std::string first = Source("first.mpg", 1200000, 1);
    const std::string second = Source("second.jpg", 20000, 2);
    const std::map<int, std::string> contents{{1, ReadFile(first)}, {2, ReadFile(second)}};
    auto states = Record({"add", first, second});
    CheckEveryState(*states, [&](const std::string& reported, bool) {
        return Expected{contents, NumbersIn(reported), {}, false};
    });
}

TEST_F(CrashStateTest, AnImportCutByAPowerFailure)
{
    // The archive comes from another library.
    TempDir other;
    ASSERT_EQ(Tool(other.path(), "their pw", {"init"}).exitCode, 0);
    const std::string a = Source("a.mpg", 1100000, 3);
    const std::string b = Source("b.jpg", 30000, 4);
    for (const auto& file : {a, b})
        ASSERT_EQ(Tool(other.path(), "their pw", {"add", file}).exitCode, 0);
    const fs::path archive = elsewhere / "two.eta";
    ASSERT_EQ(Tool(other.path(), "their pw", {"export", "--archive", archive.string(), "1", "2"}).exitCode, 0);

    ASSERT_EQ(Tool(library.path(), kOldPassword, {"init"}).exitCode, 0);
    const std::string kept = Source("kept.jpg", 40000, 5);
    ASSERT_EQ(Added(kept), 1);
    // The import stores each archive item whole, its last cipher block's fill included.
    const std::map<int, std::string> contents{{1, ReadFile(kept)}, {2, ReadFile(a)}, {3, ReadFile(b)}};
    auto states = Record({"import", "--archive", archive.string()});
    CheckEveryState(*states, [&](const std::string& reported, bool) {
        const bool done = reported.find("imported 2 item(s)") != std::string::npos;
        return Expected{contents, done ? std::set<int>{1, 2, 3} : std::set<int>{1}, {}, false};
    });
}

TEST_F(CrashStateTest, ADeleteCutByAPowerFailure)
{
    ASSERT_EQ(Tool(library.path(), kOldPassword, {"init"}).exitCode, 0);
    std::map<int, std::string> contents;
    const std::vector<std::pair<std::size_t, unsigned>> items{{1200000, 6}, {20000, 7}, {1100000, 8}};
    for (const auto& [size, seed] : items) {
        const std::string file = Source("item" + std::to_string(seed) + ".mpg", size, seed);
        contents[Added(file)] = ReadFile(file);
    }
    ASSERT_EQ(contents.size(), 3u);
    auto states = Record({"rm", "1", "3"});
    CheckEveryState(*states, [&](const std::string&, bool ended) {
        return Expected{contents, {2}, ended ? std::set<int>{1, 3} : std::set<int>{}, false};
    });
}

TEST_F(CrashStateTest, APasswordChangeCutByAPowerFailure)
{
    ASSERT_EQ(Tool(library.path(), kOldPassword, {"init"}).exitCode, 0);
    const std::string movie = Source("movie.mpg", 1200000, 9);
    const std::string photo = Source("photo.jpg", 20000, 10);
    ASSERT_EQ(Added(movie), 1);
    ASSERT_EQ(Added(photo), 2);
    const std::map<int, std::string> contents{{1, ReadFile(movie)}, {2, ReadFile(photo)}};
    auto states = Record({"passwd"}, {{"VELMORA_NEW_PASSWORD", kNewPassword}});
    CheckEveryState(
        *states,
        [&](const std::string&, bool ended) { return Expected{contents, {1, 2}, {}, ended}; },
        true);
}

} // namespace
} // namespace velmora::test
