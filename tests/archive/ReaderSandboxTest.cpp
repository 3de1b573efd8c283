// What the archive reader can still do once shut in: each case runs in a child process
// of its own that enters the sandbox with one readable file, then tries one thing.
#include "archive/ReaderSandbox.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <linux/landlock.h>
#include <netinet/in.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {
namespace {

constexpr int kRefused = 10;        // the try failed, as a call the system refuses does
constexpr int kNotShutIn = 20;      // a part of the sandbox the kernel offers is missing

bool KernelHasLandlock()
{
    return ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION) >= 1;
}

// How the child ended: its exit code, or minus the signal that killed it.
int InSandbox(const std::string& readable, const std::function<bool()>& attempt)
{
    const bool wantFileRules = KernelHasLandlock();
    const pid_t pid = ::fork();
    if (pid == 0) {
        try {
            const SandboxInForce inForce = EnterReaderSandbox({readable});
            if (inForce.fileRules != wantFileRules)
                ::_exit(kNotShutIn);
        } catch (...) {
            ::_exit(kNotShutIn);
        }
        ::_exit(attempt() ? 0 : kRefused);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

class ReaderSandboxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(archive, "the archive's bytes");
        WriteFile(other, "someone's secrets");
    }

    TempDir dir;
    const std::string archive = (dir / "gift.eta").string();
    const std::string other = (dir / "secrets.txt").string();
};

TEST_F(ReaderSandboxTest, ItReadsTheArchiveAndWritesItsOutputAndNothingElse)
{
    const std::string archivePath = archive;
    const std::string otherPath = other;
    const std::string made = (dir / "made.txt").string();
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const int elsewhere = pipeFds[1];

    struct Case {
        const char* what;
        std::function<bool()> attempt;
        int ends;   // exit code, or minus the signal
    };
    const int killed = -SIGSYS;
    const Case cases[] = {
        {"reads the archive",
         [&] {
             char buffer[64];
             const int fd = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
             return fd >= 0 && ::read(fd, buffer, sizeof buffer) > 0 && ::close(fd) == 0;
         },
         0},
        {"writes its standard output", [] { return ::write(STDOUT_FILENO, "", 0) == 0; }, 0},
        {"opens another file for reading",
         [&] { return ::open(otherPath.c_str(), O_RDONLY | O_CLOEXEC) >= 0; },
         KernelHasLandlock() ? kRefused : 0},
#if !defined(__SANITIZE_ADDRESS__)
        {"opens the archive for writing", [&] { return ::open(archivePath.c_str(), O_RDWR | O_CLOEXEC) >= 0; },
         killed},
        {"makes a file", [&] { return ::open(made.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600) >= 0; }, killed},
        {"writes elsewhere than its output", [&] { return ::write(elsewhere, "x", 1) == 1; }, killed},
        {"opens a socket", [] { return ::socket(AF_INET, SOCK_STREAM, 0) >= 0; }, killed},
        {"starts a program",
         [] {
             char* const argv[] = {const_cast<char*>("true"), nullptr};
             ::execve("/bin/true", argv, argv + 1);
             return false;
         },
         killed},
        {"makes executable memory",
         [] { return ::mmap(nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) != MAP_FAILED; },
         killed},
        {"signals another process", [] { return ::kill(1, 0) == 0; }, killed},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(InSandbox(archivePath, c.attempt), c.ends);
    }
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    EXPECT_FALSE(std::filesystem::exists(made));
    EXPECT_EQ(ReadFile(archive), "the archive's bytes");
}

} // namespace
} // namespace velmora::test
