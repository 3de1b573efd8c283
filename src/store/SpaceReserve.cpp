#include "store/SpaceReserve.h"

#include "store/LibraryFiles.h"
#include "store/PrivateFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace velmora {

namespace {

// Enough journal room to take back an add: a few pages per store and the bookkeeping.
constexpr off_t kReserveBytes = 4 << 20;

std::string ReservePath()
{
    return JoinPath(GetDataDir(), kSpaceReserveName);
}

} // namespace

void KeepSpaceReserve()
{
    const std::string path = ReservePath();
    if (::access(path.c_str(), F_OK) == 0)
        return;
    // Made under another name and renamed when whole: a reserve never holds less than it says.
    const std::string partial = path + ".new";
    const int fd = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFileMode);
    if (fd < 0)
        return;
    int error;
    do
        error = ::posix_fallocate(fd, 0, kReserveBytes);
    while (error == EINTR);
    const bool made = error == 0 && ::fsync(fd) == 0;
    ::close(fd);
    if (!made || ::rename(partial.c_str(), path.c_str()) != 0)
        ::unlink(partial.c_str());
}

bool ReleaseSpaceReserve()
{
    return ::unlink(ReservePath().c_str()) == 0;
}

} // namespace velmora
