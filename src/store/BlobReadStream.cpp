#include "store/BlobReadStream.h"

#include <algorithm>

namespace velmora::db {

BlobReadStream::BlobReadStream(sqlite3* db, const std::string& table, const std::string& column,
                               std::int64_t rowid, const std::string& context)
    : m_blob(db, table, column, rowid, false, context)
{
}

std::int64_t BlobReadStream::Read(void* buffer, std::int64_t count)
{
    const std::int64_t n = std::min(count, m_blob.Size() - m_position);
    if (n <= 0)
        return 0;
    m_blob.ReadAt(buffer, n, m_position, "blob read");
    m_position += n;
    return n;
}

std::int64_t BlobReadStream::Write(const void*, std::int64_t)
{
    throw StreamError("Blob read stream: cannot write");
}

std::int64_t BlobReadStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    std::int64_t base = 0;
    switch (origin) {
    case SeekOrigin::Beginning: base = 0; break;
    case SeekOrigin::Current: base = m_position; break;
    case SeekOrigin::End: base = m_blob.Size(); break;
    default: throw StreamError("Blob read stream: bad seek origin");
    }
    if (base + offset < 0)
        throw StreamError("Blob read stream: seek before the start");
    m_position = base + offset;
    return m_position;
}

} // namespace velmora::db
