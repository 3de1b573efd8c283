#include "support/VirtualDisplay.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velmora::test {

namespace {

// A hang guard: a server that has not answered in this time will not.
constexpr int kStartTimeoutMs = 60000;

} // namespace

VirtualDisplay::VirtualDisplay(int width, int height)
{
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    m_server = ::fork();
    if (m_server == 0) {
        // The server goes with the test, however the test ends.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        // -displayfd: the server writes the number it took to this descriptor once it
        // accepts clients.
        const int fd = ::dup(ready[1]);
        const std::string fdText = std::to_string(fd);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    while (m_server > 0 && ::poll(&wait, 1, kStartTimeoutMs) == 1) {
        char c = 0;
        if (::read(ready[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    ::close(ready[0]);
    if (!number.empty())
        m_name = ":" + number;
}

VirtualDisplay::~VirtualDisplay()
{
    if (m_server <= 0)
        return;
    ::kill(m_server, SIGTERM);
    ::waitpid(m_server, nullptr, 0);
}

} // namespace velmora::test
