#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_blob;

namespace velmora::db {

// One long-binary value of one row, open for SQLite's incremental blob I/O: the value is
// read or written in place, piece by piece, never held whole in memory. Closed when it
// goes. Failures raise DatabaseError (DiskFull for a full disk) naming the file (context)
// and what was being done.
class BlobHandle {
public:
    // Opens table.column of the row; writable opens it for writing, and the value then
    // keeps the length it has (writes go within it).
    BlobHandle(sqlite3* db, const std::string& table, const std::string& column, std::int64_t rowid, bool writable,
               const std::string& context);
    ~BlobHandle();
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;

    bool IsOpen() const { return m_blob != nullptr; }
    std::int64_t Size() const { return m_size; }

    // count bytes at offset, within the value; `what` names the work in an error.
    void ReadAt(void* buffer, std::int64_t count, std::int64_t offset, const std::string& what);
    void WriteAt(const void* buffer, std::int64_t count, std::int64_t offset, const std::string& what);
    // Closes the value now; a close that reports a failure (a write that did not reach
    // the file) raises. Closing a closed value does nothing.
    void Close(const std::string& what);

private:
    sqlite3* m_db;
    sqlite3_blob* m_blob = nullptr;
    std::string m_context;
    std::int64_t m_size = 0;
};

} // namespace velmora::db
