#include "platform/InstanceLock.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velmora {

std::string InstanceLock::LockFilePathFor(const std::string& name)
{
    // The runtime folder belongs to the user alone; the shared temp folder needs the
    // user id in the name so that two users' instances never meet.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/')
        return std::string(runtime) + "/" + name + ".lock";
    return QDir::tempPath().toStdString() + "/" + name + "-" + std::to_string(getuid()) + ".lock";
}

InstanceLock::InstanceLock(const std::string& name)
    : m_path(LockFilePathFor(name))
{
    // No symbolic links: in a shared temp folder someone else could plant one.
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_fd = fd;
        return;
    }
    const bool heldElsewhere = errno == EWOULDBLOCK;
    ::close(fd);
    m_first = !heldElsewhere;
}

InstanceLock::~InstanceLock()
{
    // The file stays: removing it would let a third process lock a new file while a
    // second still waits on the old one.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace velmora
