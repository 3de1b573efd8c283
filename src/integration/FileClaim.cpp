#include "integration/FileClaim.h"

#include <cerrno>
#include <csignal>
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

// Whether some process, this one included, has the file open for writing: the kernel
// refuses a read lease while it has (EAGAIN), and a lease granted is given back at
// once. A writer that pauses leaves the size and times still for a while, so this is
// what keeps a half-written file from being taken.
//
// Leases need the file's owner or CAP_LEASE, and some file systems (network and FUSE
// ones) or a system with leases turned off refuse them (EACCES, EINVAL, ENOSYS).
// tmpfs, ext4 and overlay grant them. Where the kernel will not tell, the file counts
// as closed and the claim rests on the file having stayed the same over two scans and
// on the locks, as it did before leases were asked.
bool OpenForWriting(int fd)
{
    // A writer opening the file while the lease is held breaks it, and the kernel
    // signals the holder: SIGIO would end the program, SIGURG is ignored unless handled.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0)
        return false;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;
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
    if (!StampOfDescriptor(m_fd) || OpenForWriting(m_fd) || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0 ||
        RecordLocked(m_fd)) {
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
