#include "integration/FileClaim.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velmora {

namespace {

struct flock WholeFile(short type)
{
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 0;
    range.l_len = 0;
    return range;
}

// Open-file-description locks conflict with every record lock held through another
// open file, this process's own included, so the probe sees the whole picture.
bool RecordLocked(int fd)
{
    struct flock probe = WholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0)
        return true;
    return probe.l_type != F_UNLCK;
}

} // namespace

FileClaim::FileClaim(const std::string& path)
{
    // Non-blocking and without following links: a fifo or device swapped in under
    // the name must not hang the monitor.
    do
        m_fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        return;
    if (!StampOfDescriptor(m_fd) || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0 || RecordLocked(m_fd)) {
        Release();
        return;
    }
    // A read lock keeps cooperating writers out while the content is copied.
    struct flock hold = WholeFile(F_RDLCK);
    if (::fcntl(m_fd, F_OFD_SETLK, &hold) != 0)
        Release();
}

FileClaim::~FileClaim()
{
    Release();
}

void FileClaim::Release()
{
    if (m_fd >= 0)
        ::close(m_fd);   // drops the flock and the record lock with the last reference
    m_fd = -1;
}

std::optional<FileStamp> FileClaim::Stamp() const
{
    if (m_fd < 0)
        return std::nullopt;
    return StampOfDescriptor(m_fd);
}

} // namespace velmora
