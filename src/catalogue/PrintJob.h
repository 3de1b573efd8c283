#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

// The print command run on one file as a child process in a process group of its
// own, so that terminating it also ends whatever it started. A job still running
// when the object goes is terminated; the child is always reaped.
class PrintJob {
public:
    // Starts command (program looked up on PATH, then its arguments) with file as the
    // last argument. A command that cannot be started gives a job that is not
    // Started and has Finished at once.
    PrintJob(const std::vector<std::string>& command, const std::string& file);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    bool Started() const { return m_pid > 0; }
    // Looks without waiting.
    bool Finished();
    // SIGTERM to the group, SIGKILL if it has not ended within a grace period.
    void Terminate();

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
};

// The print command: $VELMORA_PRINT_COMMAND split at blanks when set and not empty,
// else the CUPS client "lp".
std::vector<std::string> PrintCommand();

} // namespace velmora
