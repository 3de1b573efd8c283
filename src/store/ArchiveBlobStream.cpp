#include "store/ArchiveBlobStream.h"

#include <algorithm>

namespace velmora {

ArchiveBlobStream::ArchiveBlobStream(sqlite3* db, const std::string& table, const std::string& column,
                                     std::int64_t rowid, const std::string& context)
    : m_blob(db, table, column, rowid, true, context)
{
}

std::int64_t ArchiveBlobStream::Read(void*, std::int64_t)
{
    throw StreamError("Cannot read from an archive value being written");
}

std::int64_t ArchiveBlobStream::Write(const void* buffer, std::int64_t count)
{
    if (!m_blob.IsOpen())
        throw StreamError("The archive value is closed");
    const std::int64_t n = std::min(count, m_blob.Size() - m_position);
    if (n <= 0)
        return 0;
    m_blob.WriteAt(buffer, n, m_position, "write archive value");
    m_position += n;
    return n;
}

std::int64_t ArchiveBlobStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    if (origin == SeekOrigin::Current && offset == 0)
        return m_position;
    throw StreamError("Cannot seek on an archive value being written");
}

void ArchiveBlobStream::Close()
{
    m_blob.Close("write archive value");
}

} // namespace velmora
