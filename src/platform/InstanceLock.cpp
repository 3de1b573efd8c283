#include "platform/InstanceLock.h"

#include "platform/RuntimeFolder.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velmora {

std::string InstanceLock::LockFilePathFor(const std::string& name)
{
    // In a folder of the user's alone, no other user can hold the lock file first.
    return PrivateRuntimeFolder() + "/" + name + ".lock";
}

InstanceLock::InstanceLock(const std::string& name)
{
    try {
        m_path = LockFilePathFor(name);
    } catch (const RuntimeFolderRefused& refused) {
        m_problem = refused.what();
        return;
    }
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        const int error = errno;
        m_problem = "cannot open the instance lock " + m_path + ": " + std::strerror(error);
        return;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_fd = fd;
        return;
    }
    const int error = errno;
    ::close(fd);
    m_first = error != EWOULDBLOCK;
    if (m_first)
        m_problem = "cannot lock " + m_path + ": " + std::strerror(error);
}

void InstanceLock::SetHolderMark(const std::string& mark)
{
    if (m_fd < 0)
        return;
    // A mark the file cannot take only makes later starts hand over as to a window.
    if (::ftruncate(m_fd, 0) != 0)
        return;
    if (::pwrite(m_fd, mark.data(), mark.size(), 0) < 0)
        return;
}

std::string InstanceLock::HolderMark() const
{
    if (m_path.empty())
        return {};
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return {};
    char text[64];
    ssize_t got;
    do {
        got = ::pread(fd, text, sizeof text, 0);
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    return got > 0 ? std::string(text, static_cast<std::size_t>(got)) : std::string();
}

bool InstanceLock::WaitForTurn(const std::function<bool()>& keepWaiting)
{
    if (m_fd >= 0)
        return true;
    if (m_path.empty())
        return false;
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    // Looked at again and again rather than waited on: whoever takes the lock next may
    // be an instance that this start is to hand over to instead.
    constexpr auto kRetry = std::chrono::milliseconds(100);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || !keepWaiting()) {
            ::close(fd);
            return false;
        }
        std::this_thread::sleep_for(kRetry);
    }
    m_fd = fd;
    m_first = true;
    m_problem.clear();
    return true;
}

InstanceLock::~InstanceLock()
{
    // The file stays: removing it would let a third process lock a new file while a
    // second still waits on the old one.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace velmora
