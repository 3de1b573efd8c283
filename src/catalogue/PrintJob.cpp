#include "catalogue/PrintJob.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace velmora {

namespace {

constexpr auto kGracePeriod = std::chrono::seconds(2);
constexpr auto kPollInterval = std::chrono::milliseconds(10);

} // namespace

std::vector<std::string> PrintCommand()
{
    std::vector<std::string> command;
    if (const char* configured = std::getenv("VELMORA_PRINT_COMMAND")) {
        std::istringstream words(configured);
        for (std::string word; words >> word;)
            command.push_back(word);
    }
    if (command.empty())
        command.push_back("lp");
    return command;
}

PrintJob::PrintJob(const std::vector<std::string>& command, const std::string& file)
{
    if (command.empty())
        return;
    std::vector<std::string> words = command;
    words.push_back(file);
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return;
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, &attributes, argv.data(), environ) == 0)
        m_pid = pid;
    posix_spawnattr_destroy(&attributes);
}

PrintJob::~PrintJob()
{
    if (Started() && !Finished())
        Terminate();
}

bool PrintJob::Finished()
{
    if (!Started() || m_reaped)
        return true;
    int status = 0;
    pid_t done = 0;
    do
        done = ::waitpid(m_pid, &status, WNOHANG);
    while (done < 0 && errno == EINTR);
    if (done == m_pid || done < 0)
        m_reaped = true;
    return m_reaped;
}

void PrintJob::Terminate()
{
    if (Finished())
        return;
    ::kill(-m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kGracePeriod;
    while (!Finished()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-m_pid, SIGKILL);
            int status = 0;
            while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
            }
            m_reaped = true;
            return;
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

} // namespace velmora
