#include "store/BlobReadStream.h"

#include "store/DatabaseError.h"
#include "store/Statement.h"

#include <sqlite3.h>

#include <algorithm>

namespace velmora::db {

BlobReadStream::BlobReadStream(sqlite3* db, const std::string& table, const std::string& column,
                               std::int64_t rowid, const std::string& context)
    : m_db(db), m_context(context)
{
    const int rc = sqlite3_blob_open(db, "main", table.c_str(), column.c_str(), rowid, 0, &m_blob);
    if (rc != SQLITE_OK) {
        const std::string message = DescribeError(db, rc, context, "read " + table + "." + column);
        sqlite3_blob_close(m_blob);
        m_blob = nullptr;
        throw DatabaseError(message);
    }
    m_size = sqlite3_blob_bytes(m_blob);
}

BlobReadStream::~BlobReadStream()
{
    sqlite3_blob_close(m_blob);
}

std::int64_t BlobReadStream::Read(void* buffer, std::int64_t count)
{
    const std::int64_t n = std::min(count, m_size - m_position);
    if (n <= 0)
        return 0;
    const int rc = sqlite3_blob_read(m_blob, buffer, static_cast<int>(n), static_cast<int>(m_position));
    if (rc != SQLITE_OK)
        throw DatabaseError(DescribeError(m_db, rc, m_context, "blob read"));
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
    case SeekOrigin::End: base = m_size; break;
    default: throw StreamError("Blob read stream: bad seek origin");
    }
    if (base + offset < 0)
        throw StreamError("Blob read stream: seek before the start");
    m_position = base + offset;
    return m_position;
}

} // namespace velmora::db
