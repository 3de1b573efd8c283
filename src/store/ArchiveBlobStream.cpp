#include "store/ArchiveBlobStream.h"

#include "store/DatabaseError.h"
#include "store/Statement.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>

namespace velmora {

ArchiveBlobStream::ArchiveBlobStream(sqlite3* db, const std::string& table, const std::string& column,
                                     std::int64_t rowid, const std::string& context)
    : m_db(db), m_context(context)
{
    const int rc = sqlite3_blob_open(db, "main", table.c_str(), column.c_str(), rowid, 1, &m_blob);
    if (rc != SQLITE_OK) {
        const std::string message = db::DescribeError(db, rc, context, "write " + table + "." + column);
        sqlite3_blob_close(m_blob);
        m_blob = nullptr;
        throw db::DatabaseError(message);
    }
    m_size = sqlite3_blob_bytes(m_blob);
}

ArchiveBlobStream::~ArchiveBlobStream()
{
    if (m_blob)
        sqlite3_blob_close(m_blob);
}

std::int64_t ArchiveBlobStream::Read(void*, std::int64_t)
{
    throw StreamError("Cannot read from an archive value being written");
}

std::int64_t ArchiveBlobStream::Write(const void* buffer, std::int64_t count)
{
    if (!m_blob)
        throw StreamError("The archive value is closed");
    const std::int64_t n = std::min(count, m_size - m_position);
    if (n <= 0)
        return 0;
    // Offsets are ints in SQLite's interface; a value never exceeds its length limit.
    const int rc = sqlite3_blob_write(m_blob, buffer, static_cast<int>(n), static_cast<int>(m_position));
    if (rc != SQLITE_OK)
        throw db::DatabaseError(db::DescribeError(m_db, rc, m_context, "write archive value"));
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
    if (!m_blob)
        return;
    const int rc = sqlite3_blob_close(m_blob);
    m_blob = nullptr;
    if (rc != SQLITE_OK)
        throw db::DatabaseError(db::DescribeError(m_db, rc, m_context, "write archive value"));
}

} // namespace velmora
