#include "catalogue/SecureDelete.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

// Closes the descriptor however the routine ends.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

bool WriteAll(int fd, const char* data, std::int64_t count, off_t offset)
{
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, data, static_cast<std::size_t>(count), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        count -= n;
        offset += n;
    }
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

void SecureDeleteFile(const std::string& path) noexcept
{
    try {
        struct stat named {};
        if (::lstat(path.c_str(), &named) != 0)
            return;
        // A link is only a name: what it points at was never handed over, so the name
        // goes and the target is left as it is.
        if (S_ISLNK(named.st_mode)) {
            ::unlink(path.c_str());
            return;
        }
        // Only ordinary files: zeros written to a device or a pipe would go elsewhere.
        if (!S_ISREG(named.st_mode))
            return;
        // O_NOFOLLOW: a link put in the file's place since the check is not opened.
        Descriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
        if (file.get() < 0)
            return;
        struct stat info {};
        if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || !SameFile(info, named))
            return;
        const std::int64_t oldSize = info.st_size;
        const std::vector<char> zeros(static_cast<std::size_t>(kSecureDeleteBlock), '\0');
        std::int64_t offset = 0;
        // One pass of whole blocks for as long as the old size is not below the file's
        // current size: every old byte is covered, however the file is laid out.
        std::int64_t currentSize = oldSize;
        while (oldSize >= currentSize) {
            if (!WriteAll(file.get(), zeros.data(), kSecureDeleteBlock, static_cast<off_t>(offset)))
                return;
            offset += kSecureDeleteBlock;
            currentSize = offset > currentSize ? offset : currentSize;
        }
        // The zeros reach the disk before the name goes, or the old blocks could be
        // freed with their content still on them.
        if (::fsync(file.get()) != 0)
            return;
        // The name is removed only while it still names the file just overwritten.
        struct stat now {};
        if (::lstat(path.c_str(), &now) == 0 && SameFile(now, info))
            ::unlink(path.c_str());
    } catch (...) {
        // Nothing is reported; the file may remain.
    }
}

} // namespace velmora
