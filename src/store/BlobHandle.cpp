#include "store/BlobHandle.h"

#include "store/Statement.h"

#include <sqlite3.h>

namespace velmora::db {

BlobHandle::BlobHandle(sqlite3* db, const std::string& table, const std::string& column, std::int64_t rowid,
                       bool writable, const std::string& context)
    : m_db(db), m_context(context)
{
    const int rc = sqlite3_blob_open(db, "main", table.c_str(), column.c_str(), rowid, writable ? 1 : 0, &m_blob);
    if (rc != SQLITE_OK) {
        // SQLite may hand back a handle even on failure; it must still be closed.
        const std::string message =
            DescribeError(db, rc, context, (writable ? "write " : "read ") + table + "." + column);
        sqlite3_blob_close(m_blob);
        m_blob = nullptr;
        RaiseError(rc, message);
    }
    m_size = sqlite3_blob_bytes(m_blob);
}

BlobHandle::~BlobHandle()
{
    if (m_blob)
        sqlite3_blob_close(m_blob);
}

// Offsets and counts are ints in SQLite's interface; a value never exceeds its length
// limit, which is below INT_MAX.
void BlobHandle::ReadAt(void* buffer, std::int64_t count, std::int64_t offset, const std::string& what)
{
    const int rc = sqlite3_blob_read(m_blob, buffer, static_cast<int>(count), static_cast<int>(offset));
    if (rc != SQLITE_OK)
        RaiseError(rc, DescribeError(m_db, rc, m_context, what));
}

void BlobHandle::WriteAt(const void* buffer, std::int64_t count, std::int64_t offset, const std::string& what)
{
    const int rc = sqlite3_blob_write(m_blob, buffer, static_cast<int>(count), static_cast<int>(offset));
    if (rc != SQLITE_OK)
        RaiseError(rc, DescribeError(m_db, rc, m_context, what));
}

void BlobHandle::Close(const std::string& what)
{
    if (!m_blob)
        return;
    const int rc = sqlite3_blob_close(m_blob);
    m_blob = nullptr;
    if (rc != SQLITE_OK)
        RaiseError(rc, DescribeError(m_db, rc, m_context, what));
}

} // namespace velmora::db
