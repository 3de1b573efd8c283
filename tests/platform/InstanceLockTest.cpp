#include "platform/InstanceLock.h"

#include "platform/PlatformTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace velmora {
namespace {

using test::ScopedEnv;
using test::TempDir;

constexpr const char* kTestName = "NRXVelmoraTest";

// Takes the lock in a forked child and reports through the exit code whether the child
// would be the first instance (0) or a second one (1).
int ChildSeesFirstInstance(const std::string& name)
{
    const pid_t child = fork();
    if (child == 0) {
        InstanceLock lock(name);
        _exit(lock.IsFirstInstance() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class InstanceLockTest : public ::testing::Test {
protected:
    TempDir runtime;
    ScopedEnv xdg{"XDG_RUNTIME_DIR", runtime.str()};
};

TEST_F(InstanceLockTest, LockFileIsNamedAfterTheMutexInTheRuntimeFolder)
{
    InstanceLock lock(kTestName);
    EXPECT_EQ(lock.LockFilePath(), (runtime / "NRXVelmoraTest.lock").string());
    EXPECT_TRUE(std::filesystem::exists(lock.LockFilePath()));
    EXPECT_EQ(InstanceLock::LockFilePathFor("NRXVelmora"), (runtime / "NRXVelmora.lock").string());

    // Without a runtime folder: the user's own folder in the temp folder.
    TempDir tmp;
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv tmpdir("TMPDIR", tmp.str());
    EXPECT_EQ(InstanceLock::LockFilePathFor("NRXVelmora"),
              (tmp / ("velmora-" + std::to_string(geteuid())) / "NRXVelmora.lock").string());
}

TEST_F(InstanceLockTest, RefusedRuntimeFolderCountsAsFirstInstanceAndSaysWhy)
{
    // A temp folder whose "velmora-<uid>" anyone may write to: its lock file could be
    // anyone's, so it is not used, and the start goes on without a lock.
    const test::OpenRuntimeFolder open;
    InstanceLock lock(kTestName);
    EXPECT_TRUE(lock.IsFirstInstance());
    EXPECT_FALSE(lock.IsHeld());
    EXPECT_NE(lock.Problem().find(open.Path().string()), std::string::npos) << lock.Problem();
    EXPECT_FALSE(std::filesystem::exists(open.Path() / "NRXVelmoraTest.lock"));
}

TEST_F(InstanceLockTest, OnlyOneProcessHoldsTheLockUntilItLetsGo)
{
    {
        InstanceLock first(kTestName);
        EXPECT_TRUE(first.IsFirstInstance());
        EXPECT_TRUE(first.IsHeld());
        EXPECT_EQ(ChildSeesFirstInstance(kTestName), 1);

        // Another lock in the same process is refused as well.
        InstanceLock second(kTestName);
        EXPECT_FALSE(second.IsFirstInstance());
        EXPECT_FALSE(second.IsHeld());
    }
    EXPECT_EQ(ChildSeesFirstInstance(kTestName), 0);
    InstanceLock again(kTestName);
    EXPECT_TRUE(again.IsFirstInstance());
}

TEST_F(InstanceLockTest, AnotherProgramsLockOnTheFileMeansARunningInstance)
{
    InstanceLock probe(kTestName);
    const std::string path = probe.LockFilePath();
    ASSERT_TRUE(probe.IsHeld());
    // util-linux flock, a program that knows nothing of ours, sees the lock as taken.
    const int status = std::system(("flock -n '" + path + "' true").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
}

TEST_F(InstanceLockTest, KilledInstanceLeavesNoLockBehind)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        InstanceLock lock(kTestName);
        const char answer = lock.IsFirstInstance() ? '1' : '0';
        (void)!write(ready[1], &answer, 1);
        for (;;)
            pause();
    }
    close(ready[1]);
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    EXPECT_EQ(answer, '1');
    EXPECT_FALSE(InstanceLock(kTestName).IsFirstInstance());

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(InstanceLock(kTestName).IsFirstInstance());
}

TEST_F(InstanceLockTest, ProgramsStartedByTheInstanceDoNotKeepTheLock)
{
    pid_t sleeper = -1;
    {
        InstanceLock lock(kTestName);
        ASSERT_TRUE(lock.IsHeld());
        char sleep[] = "sleep";
        char seconds[] = "60";
        char* argv[] = {sleep, seconds, nullptr};
        ASSERT_EQ(posix_spawnp(&sleeper, "sleep", nullptr, nullptr, argv, environ), 0);
    }
    // The instance has ended its lock; the program it started still runs.
    const bool first = InstanceLock(kTestName).IsFirstInstance();
    kill(sleeper, SIGKILL);
    waitpid(sleeper, nullptr, 0);
    EXPECT_TRUE(first);
}

} // namespace
} // namespace velmora
