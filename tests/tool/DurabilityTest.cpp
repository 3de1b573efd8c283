// What must be on the disk, and when, as the system calls of velmora-tool show it: an
// added item is synced before the add reports it (its source may be deleted next), and
// a password change syncs every re-encrypted chunk before the check values name the new
// password (the old one is forgotten then). A power cut cannot be staged here; the order
// of writes and syncs that makes them survive one can be seen. So can the locks that keep
// other programs out of an archive being written.
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class DurabilityTest : public ::testing::Test {
protected:
    ProcessResult Tool(std::vector<std::string> args, std::map<std::string, std::string> env = {})
    {
        env.emplace("VELMORA_PASSWORD", "pw one");
        args.insert(args.begin() + 1, {"--data", library.str()});
        return RunProgram("velmora-tool", args, env);
    }
    // The writes and syncs (or the given calls) of a velmora-tool run, one call a line,
    // with the file each descriptor names.
    std::vector<std::string> Traced(std::vector<std::string> args, std::map<std::string, std::string> env = {},
                                    const std::string& traced = "pwrite64,write,fsync,fdatasync")
    {
        env.emplace("VELMORA_PASSWORD", "pw one");
        args.insert(args.begin() + 1, {"--data", library.str()});
        const fs::path log = sources / "trace.txt";
        std::vector<std::string> strace{"-f", "-qq", "-y", "-e", "trace=" + traced, "-o",
                                        log.string(), (BinDir() / "velmora-tool").string()};
        strace.insert(strace.end(), args.begin(), args.end());
        const auto run = RunProgram("/usr/bin/strace", strace, env);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> calls;
        std::istringstream lines(ReadFile(log));
        for (std::string line; std::getline(lines, line);)
            calls.push_back(line);
        return calls;
    }
    // Index of the last call before end (or -1) that writes to file, or syncs it.
    enum Kind { kWrite, kSync };
    static int Last(const std::vector<std::string>& calls, Kind kind, const std::string& file, int end)
    {
        const std::vector<std::string> names =
            kind == kWrite ? std::vector<std::string>{"pwrite64(", "write("} : std::vector<std::string>{"fsync(", "fdatasync("};
        for (int i = end - 1; i >= 0; --i) {
            const std::string& call = calls[i];
            if (call.find("/" + file + ">") == std::string::npos)
                continue;
            for (const auto& name : names)
                if (call.find(" " + name) != std::string::npos)
                    return i;
        }
        return -1;
    }

    // Of a trace of fcntl and close: how many locks were taken on the file at path, and
    // the closes of a descriptor of it while the process held one (the engine's own
    // close comes after its last unlock).
    struct LockUse {
        int locks = 0;
        std::vector<std::string> closes;
    };
    static LockUse ClosesUnderLock(const std::vector<std::string>& calls, const std::string& path)
    {
        const std::string named = "<" + path + ">";
        LockUse use;
        bool locked = false;
        for (const auto& call : calls) {
            if (call.find(named) == std::string::npos)
                continue;
            if (call.find("F_SETLK") != std::string::npos) {
                if (call.find("F_UNLCK") == std::string::npos) {
                    locked = true;
                    ++use.locks;
                } else if (call.find("l_start=0, l_len=0") != std::string::npos) {
                    locked = false;
                }
            } else if (call.find(" close(") != std::string::npos && locked) {
                use.closes.push_back(call);
            }
        }
        return use;
    }

    TempDir library;
    TempDir sources;
};

TEST_F(DurabilityTest, AnAddedItemIsOnTheDiskBeforeTheAddReportsIt)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const fs::path file = sources / "song.mp3";
    WriteFile(file, PatternBytes(700000, 1));
    const auto calls = Traced({"add", file.string()});

    // The item's number on standard output ends the add.
    int reported = static_cast<int>(calls.size());
    for (int i = 0; i < static_cast<int>(calls.size()); ++i)
        if (calls[i].find("write(1<") != std::string::npos)
            reported = i;
    ASSERT_LT(reported, static_cast<int>(calls.size())) << "the add printed no number";
    const int commit = Last(calls, kWrite, "tndb.mdb-wal", reported);
    ASSERT_GE(commit, 0);
    const int chunks = Last(calls, kWrite, "tnstore1.mdb-wal", commit);
    ASSERT_GE(chunks, 0);
    EXPECT_GT(Last(calls, kSync, "tnstore1.mdb-wal", commit), chunks) << "the chunks were not synced before the item";
    EXPECT_GT(Last(calls, kSync, "tndb.mdb-wal", reported), commit) << "the item was not synced before it was reported";
}

TEST_F(DurabilityTest, APasswordChangeSyncsTheChunksBeforeTheCheckValuesNameTheNewPassword)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const fs::path file = sources / "song.mp3";
    WriteFile(file, PatternBytes(1200000, 2));
    ASSERT_EQ(Tool({"add", file.string()}).exitCode, 0);
    const auto calls = Traced({"passwd"}, {{"VELMORA_NEW_PASSWORD", "pw two"}});

    const int switched = Last(calls, kWrite, "tndb.mdb-wal", static_cast<int>(calls.size()));
    ASSERT_GE(switched, 0);
    const int rewritten = Last(calls, kWrite, "tnstore1.mdb-wal", switched);
    ASSERT_GE(rewritten, 0) << "no chunk was rewritten";
    EXPECT_GT(Last(calls, kSync, "tnstore1.mdb-wal", switched), rewritten)
        << "the check values named the new password before the chunks under it were on the disk";
    EXPECT_EQ(Tool({"cat", "1"}, {{"VELMORA_PASSWORD", "pw two"}}).out, PatternBytes(1200000, 2));
}

// Closing any descriptor of a file drops every lock the process holds on it: a
// descriptor of a database file closed while the engine holds its lock lets another
// program in where the engine thinks itself alone.
TEST_F(DurabilityTest, AnAddNeverClosesADescriptorOfADatabaseFileTheEngineHoldsLocked)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    const fs::path file = sources / "song.mp3";
    WriteFile(file, PatternBytes(1300000, 3));
    const auto calls = Traced({"add", file.string()}, {}, "fcntl,close");
    for (const std::string name : {"tndb.mdb", "tnstore1.mdb"}) {
        SCOPED_TRACE(name);
        const auto found = ClosesUnderLock(calls, (library / name).string());
        EXPECT_GT(found.locks, 0) << "the file was never locked: the trace shows nothing";
        EXPECT_EQ(found.closes, std::vector<std::string>{});
    }
}

TEST_F(DurabilityTest, AnExportKeepsTheArchiveLockedUntilItsLastCommitIsOver)
{
    ASSERT_EQ(Tool({"init"}).exitCode, 0);
    for (int i = 1; i <= 2; ++i) {
        const fs::path file = sources / ("clip" + std::to_string(i) + ".mpg");
        WriteFile(file, PatternBytes(1300000, i));
        ASSERT_EQ(Tool({"add", file.string()}).exitCode, 0);
    }
    const fs::path archive = sources / "out.eta";
    const auto calls = Traced({"export", "--archive", archive.string(), "1", "2"},
                              {{"VELMORA_ARCHIVE_PASSWORD", "archive pw"}}, "fcntl,close");
    const auto found = ClosesUnderLock(calls, archive.string());
    EXPECT_GT(found.locks, 0) << "the archive was never locked: the trace shows nothing";
    EXPECT_EQ(found.closes, std::vector<std::string>{});
}

} // namespace
} // namespace velmora::test
