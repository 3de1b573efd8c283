#include "store/ProcessStamp.h"

#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace velmora {

namespace {

// Field 22 of /proc/<pid>/stat; 0 when the process does not exist.
std::int64_t StartTimeOf(std::int64_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return 0;
    // The command name (field 2) may hold blanks and parentheses: count from its end.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22)
            return std::stoll(field);
    }
    return 0;
}

} // namespace

ProcessStamp ProcessStamp::ThisProcess()
{
    static const ProcessStamp self{getpid(), StartTimeOf(getpid())};
    return self;
}

bool ProcessStamp::IsAlive() const
{
    if (pid <= 0)
        return false;
    const std::int64_t started_now = StartTimeOf(pid);
    return started_now != 0 && started_now == started;
}

} // namespace velmora
