#include "platform/InstanceLock.h"

#include "platform/RuntimeFolder.h"

#include <cerrno>
#include <cstring>
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

InstanceLock::~InstanceLock()
{
    // The file stays: removing it would let a third process lock a new file while a
    // second still waits on the old one.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace velmora
