#include "store/FileStream.h"

#include "store/DatabaseError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

int OpenFlags(FileMode mode)
{
    switch (mode) {
    case FileMode::OpenRead:
        return O_RDONLY;
    case FileMode::Create:
        return O_RDWR | O_CREAT | O_TRUNC;
    case FileMode::OpenReadWrite:
        return O_RDWR;
    }
    throw StreamError("Invalid file mode");
}

} // namespace

FileStream::FileStream(const std::filesystem::path& path, FileMode mode)
    : m_ownsDescriptor(true), m_name(path.string())
{
    do
        m_fd = ::open(path.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
    while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        Fail("open");
}

FileStream::FileStream(int descriptor, std::string name)
    : m_fd(descriptor), m_ownsDescriptor(false), m_name(std::move(name))
{
}

FileStream::~FileStream()
{
    if (m_ownsDescriptor && m_fd >= 0)
        ::close(m_fd);
}

void FileStream::Fail(const char* what) const
{
    const int error = errno;
    throw StreamError(std::string("Cannot ") + what + " file \"" + m_name + "\": " +
                      (error == ENOSPC ? kNoSpaceMessage : std::strerror(error)));
}

std::int64_t FileStream::Read(void* buffer, std::int64_t count)
{
    auto* target = static_cast<char*>(buffer);
    std::int64_t done = 0;
    // Pipes deliver in pieces; only the end of the data ends a read early.
    while (done < count) {
        const ssize_t n = ::read(m_fd, target + done, static_cast<std::size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail("read");
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t FileStream::Write(const void* buffer, std::int64_t count)
{
    const auto* source = static_cast<const char*>(buffer);
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, source + done, static_cast<std::size_t>(count - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail("write");
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t FileStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    int whence = SEEK_SET;
    switch (origin) {
    case SeekOrigin::Beginning:
        whence = SEEK_SET;
        break;
    case SeekOrigin::Current:
        whence = SEEK_CUR;
        break;
    case SeekOrigin::End:
        whence = SEEK_END;
        break;
    default:
        throw StreamError("Invalid seek origin");
    }
    const off_t position = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (position < 0)
        Fail("seek");
    return position;
}

void FileStream::SetSize(std::int64_t newSize)
{
    if (::ftruncate(m_fd, static_cast<off_t>(newSize)) != 0)
        Fail("resize");
    if (Seek(0, SeekOrigin::Current) > newSize)
        Seek(newSize, SeekOrigin::Beginning);
}

std::int64_t FileStream::Size()
{
    struct stat info {};
    if (::fstat(m_fd, &info) != 0)
        Fail("examine");
    if (S_ISREG(info.st_mode))
        return info.st_size;
    return Stream::Size();
}

void FileStream::Sync()
{
    if (::fsync(m_fd) != 0)
        Fail("flush");
}

} // namespace velmora
