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

} // namespace

void SecureDeleteFile(const std::string& path) noexcept
{
    try {
        Descriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        if (file.get() < 0)
            return;
        struct stat info {};
        // Only ordinary files: zeros written to a device or a pipe would go elsewhere.
        if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
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
        ::unlink(path.c_str());
    } catch (...) {
        // Nothing is reported; the file may remain.
    }
}

} // namespace velmora
