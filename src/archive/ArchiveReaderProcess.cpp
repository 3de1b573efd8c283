#include "archive/ArchiveReaderProcess.h"

#include "store/LibraryFiles.h"

#include <cerrno>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

using namespace std::chrono_literals;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimitAddressSpace = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kLimitAddressSpace = false;
#else
constexpr bool kLimitAddressSpace = true;
#endif
#else
constexpr bool kLimitAddressSpace = true;
#endif

// What the reader needs (the engine's page cache, the cipher, a piece of a value) with
// a wide margin; far less than a parser gone astray would take.
constexpr std::uint64_t kReaderAddressSpace = 512ull << 20;
// Checking and reading run at well over 100 MB/s here; a tenth of that is allowed.
constexpr std::uint64_t kBytesPerSecondAllowed = 10'000'000;
constexpr std::chrono::seconds kBaseTime{60};

void Close(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

// The reader's whole environment: nothing of the importer's (whose environment may
// hold the library's and the archive's passwords), only a sanitizer build's options.
std::vector<std::string> ReaderEnvironment()
{
    std::vector<std::string> variables;
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        if (const char* value = std::getenv(name))
            variables.push_back(std::string(name) + "=" + value);
    return variables;
}

// In the child between fork and exec: only calls that are safe there.
[[noreturn]] void RunChild(const ReaderOptions& options, char* const argv[], char* const envp[], pid_t parent,
                           int input, int output, int discard)
{
    if (::dup2(input, STDIN_FILENO) < 0 || ::dup2(output, STDOUT_FILENO) < 0 || ::dup2(discard, STDERR_FILENO) < 0)
        ::_exit(127);
    ::close_range(3, ~0U, 0);
    // Ends with the thread that started it, and not later than the program.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);   // the importer gone: the reader goes too
    // A write that would grow a file fails (EFBIG) and is reported like any failed
    // write, rather than killing the reader.
    ::signal(SIGXFSZ, SIG_IGN);
    // Nothing it runs gains a privilege (a set-user-id program); its own filter needs it.
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        ::_exit(127);

    auto limit = [](int resource, rlim_t soft, rlim_t hard) {
        const rlimit value{soft, hard};
        if (::setrlimit(resource, &value) != 0)
            ::_exit(127);
    };
    if (kLimitAddressSpace)
        limit(RLIMIT_AS, options.addressSpace, options.addressSpace);
    // SIGXCPU at the limit, SIGKILL a second later should it be caught.
    limit(RLIMIT_CPU, options.cpuSeconds, options.cpuSeconds + 1);
    limit(RLIMIT_CORE, 0, 0);
    limit(RLIMIT_FSIZE, options.fileSize, options.fileSize);
    ::execve(options.program.c_str(), argv, envp);
    ::_exit(127);
}

} // namespace

ReaderOptions DefaultReaderOptions(const std::string& archivePath)
{
    auto sizeOf = [](const std::string& path) -> std::uint64_t {
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        return error ? 0 : size;
    };
    const std::uint64_t archiveSize = sizeOf(archivePath);
    const std::chrono::seconds allowance = kBaseTime + std::chrono::seconds(archiveSize / kBytesPerSecondAllowed);
    ReaderOptions options;
    options.program = JoinPath(GetAppDir(), kArchiveReaderName);
    options.addressSpace = kReaderAddressSpace;
    // Checking reads the whole file and the import reads it again.
    options.cpuSeconds = static_cast<std::uint64_t>(2 * allowance.count());
    options.fileSize = 0;
    options.checkTime = allowance;
    options.silence = kBaseTime;
    return options;
}

ArchiveReaderProcess::ArchiveReaderProcess(const ReaderOptions& options, const std::string& archivePath)
{
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("Cannot start the archive reader: ") + std::strerror(errno));
    if (::pipe2(output, O_CLOEXEC) != 0) {
        const int error = errno;
        Close(input[0]);
        Close(input[1]);
        throw std::runtime_error(std::string("Cannot start the archive reader: ") + std::strerror(error));
    }
    m_input.Reset(input[1]);
    m_output.Reset(output[0]);
    UniqueFd childInput(input[0]);
    UniqueFd childOutput(output[1]);
    UniqueFd discard(::open("/dev/null", O_WRONLY | O_CLOEXEC));
    // Reads wait with a time limit.
    ::fcntl(m_output.Get(), F_SETFL, ::fcntl(m_output.Get(), F_GETFL) | O_NONBLOCK);
    // Fewer switches between the two processes for large contents; a smaller pipe
    // works as well.
    ::fcntl(m_output.Get(), F_SETPIPE_SZ, 1 << 20);

    // Everything the child needs is made before the fork.
    std::string program = options.program;
    std::string path = archivePath;
    char* const argv[] = {program.data(), path.data(), nullptr};
    std::vector<std::string> environment = ReaderEnvironment();
    std::vector<char*> envp;
    for (auto& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error(std::string("Cannot start the archive reader: ") + std::strerror(errno));
    if (pid == 0)
        RunChild(options, argv, envp.data(), parent, childInput.Get(), childOutput.Get(), discard.Get());
    m_pid = pid;
}

ArchiveReaderProcess::~ArchiveReaderProcess()
{
    m_input.Reset();
    m_output.Reset();
    if (m_pid > 0)
        Finish(0ms);
}

ArchiveReaderProcess::ReadResult ArchiveReaderProcess::ReadExact(void* buffer, std::size_t count,
                                                                 std::chrono::milliseconds wait)
{
    auto* data = static_cast<char*>(buffer);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (count > 0) {
        const ssize_t n = ::read(m_output.Get(), data, count);
        if (n > 0) {
            data += n;
            count -= static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0)
            return ReadResult::Ended;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return ReadResult::Ended;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return ReadResult::TimedOut;
        pollfd ready{m_output.Get(), POLLIN, 0};
        ::poll(&ready, 1, static_cast<int>(std::min<std::int64_t>(left.count(), 1 << 30)));
    }
    return ReadResult::Done;
}

std::string ArchiveReaderProcess::Finish(std::chrono::milliseconds grace)
{
    if (m_pid <= 0)
        return m_outcome;
    int status = 0;
    pid_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while ((done = ::waitpid(m_pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    if (done == 0) {
        ::kill(m_pid, SIGKILL);
        while ((done = ::waitpid(m_pid, &status, 0)) < 0 && errno == EINTR) {
        }
    }
    m_pid = -1;
    if (done < 0)
        m_outcome = "could not be waited for";
    else if (WIFSIGNALED(status))
        m_outcome = "was killed by signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) + ")";
    else
        m_outcome = "exited with code " + std::to_string(WEXITSTATUS(status));
    return m_outcome;
}

} // namespace velmora
