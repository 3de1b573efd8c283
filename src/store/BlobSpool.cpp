#include "store/BlobSpool.h"

#include "store/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace velmora::db {

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    throw StreamError("Blob spool: " + what + ": " + std::strerror(errno));
}

// A file that has no name from the start (or loses it at once), so nothing is left
// behind whatever happens to the process.
int OpenAnonymousFile()
{
    std::error_code ec;
    std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
    if (ec)
        dir = "/tmp";
#ifdef O_TMPFILE
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
#endif
    std::string name = (dir / "velmora-blob-XXXXXX").string();
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named < 0)
        Fail("cannot create a temporary file in " + dir.string());
    ::unlink(name.c_str());
    return named;
}

void WriteAll(int fd, const char* data, std::int64_t count, std::int64_t offset)
{
    while (count > 0) {
        const ssize_t n = ::pwrite(fd, data, static_cast<std::size_t>(count), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Fail("cannot write the temporary file");
        }
        data += n;
        count -= n;
        offset += n;
    }
}

} // namespace

BlobSpool::BlobSpool(std::int64_t memoryThreshold) : m_threshold(memoryThreshold)
{
}

BlobSpool::~BlobSpool()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void BlobSpool::MoveToFile()
{
    m_fd = OpenAnonymousFile();
    WriteAll(m_fd, m_memory.data(), m_size, 0);
    std::vector<char>().swap(m_memory);
}

void BlobSpool::Write(std::int64_t position, const void* data, std::int64_t count)
{
    if (count <= 0)
        return;
    const std::int64_t end = position + count;
    if (InMemory() && end > m_threshold)
        MoveToFile();
    if (InMemory()) {
        if (end > static_cast<std::int64_t>(m_memory.size())) {
            // Grow geometrically, but a first write of a whole chunk gets exactly its size.
            if (end > static_cast<std::int64_t>(m_memory.capacity()))
                m_memory.reserve(static_cast<std::size_t>(
                    std::min(m_threshold, std::max<std::int64_t>(end, 2 * static_cast<std::int64_t>(m_memory.capacity())))));
            m_memory.resize(static_cast<std::size_t>(end));
        }
        std::memcpy(m_memory.data() + position, data, static_cast<std::size_t>(count));
    } else {
        WriteAll(m_fd, static_cast<const char*>(data), count, position);
    }
    m_size = std::max(m_size, end);
}

std::int64_t BlobSpool::Read(std::int64_t position, void* buffer, std::int64_t count) const
{
    const std::int64_t n = std::min(count, m_size - position);
    if (n <= 0)
        return 0;
    if (InMemory()) {
        std::memcpy(buffer, m_memory.data() + position, static_cast<std::size_t>(n));
        return n;
    }
    std::int64_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(m_fd, static_cast<char*>(buffer) + done,
                                  static_cast<std::size_t>(n - done), position + done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            Fail("cannot read the temporary file");
        }
        if (r == 0) {
            // A hole past the file's end (a seek beyond the end, then a write) reads as zeros.
            std::memset(static_cast<char*>(buffer) + done, 0, static_cast<std::size_t>(n - done));
            break;
        }
        done += r;
    }
    return n;
}

void BlobSpool::Truncate(std::int64_t size)
{
    if (size < 0)
        throw StreamError("Blob spool: negative size");
    if (InMemory() && size > m_threshold)
        MoveToFile();
    if (InMemory())
        m_memory.resize(static_cast<std::size_t>(size));
    else if (::ftruncate(m_fd, size) != 0)
        Fail("cannot resize the temporary file");
    m_size = size;
}

void BlobSpool::ForEachPiece(std::int64_t pieceSize,
                             const std::function<void(const char*, std::int64_t, std::int64_t)>& sink) const
{
    if (InMemory()) {
        for (std::int64_t offset = 0; offset < m_size; offset += pieceSize)
            sink(m_memory.data() + offset, std::min(pieceSize, m_size - offset), offset);
        return;
    }
    std::vector<char> piece(static_cast<std::size_t>(std::min(pieceSize, std::max<std::int64_t>(m_size, 1))));
    for (std::int64_t offset = 0; offset < m_size; offset += pieceSize) {
        const std::int64_t n = std::min(pieceSize, m_size - offset);
        Read(offset, piece.data(), n);
        sink(piece.data(), n, offset);
    }
}

} // namespace velmora::db
