#include "store/ContentLock.h"

#include "store/LibraryFiles.h"
#include "store/PrivateFiles.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace velmora {

namespace {

// Byte 0 is the gate a change closes before it waits, byte 1 what adds share.
constexpr off_t kGate = 0;
constexpr off_t kContent = 1;

// What this thread holds: locks of one thread conflict like those of two processes
// (each lock has a descriptor of its own), so a thread must never wait for itself.
thread_local int t_adds = 0;
thread_local int t_changes = 0;

int OpenLockFile()
{
    const std::string path = JoinPath(GetDataDir(), kContentLockName);
    int fd;
    do
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivateFileMode);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw std::runtime_error("Cannot open the lock file \"" + path + "\": " + std::strerror(errno));
    return fd;
}

// Open-file-description locks: owned by the descriptor, not the process, so the
// threads of one program exclude each other as well.
void Lock(int fd, off_t byte, short type)
{
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = byte;
    range.l_len = 1;
    while (::fcntl(fd, type == F_UNLCK ? F_OFD_SETLK : F_OFD_SETLKW, &range) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            ::close(fd);
            throw std::runtime_error(std::string("Cannot lock the library: ") + std::strerror(error));
        }
    }
}

} // namespace

AddLock::AddLock()
{
    if (t_changes > 0)
        throw std::runtime_error("Nothing can be added while the password is being changed");
    m_fd = OpenLockFile();
    Lock(m_fd, kGate, F_WRLCK);
    Lock(m_fd, kContent, F_RDLCK);
    Lock(m_fd, kGate, F_UNLCK);
    ++t_adds;
}

AddLock::~AddLock()
{
    --t_adds;
    ::close(m_fd);   // releases the lock
}

ChangeLock::ChangeLock()
{
    if (t_changes > 0)
        return;   // the outer change holds it
    if (t_adds > 0)
        throw std::runtime_error("The password cannot be changed while this thread adds an item");
    m_fd = OpenLockFile();
    Lock(m_fd, kGate, F_WRLCK);
    Lock(m_fd, kContent, F_WRLCK);
    ++t_changes;
}

ChangeLock::~ChangeLock()
{
    if (m_fd < 0)
        return;
    --t_changes;
    ::close(m_fd);
}

} // namespace velmora
