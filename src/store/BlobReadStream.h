#pragma once

#include "store/BlobHandle.h"
#include "store/Stream.h"

#include <string>

namespace velmora::db {

// Reads one long-binary value of one row in place, piece by piece, through SQLite's
// incremental blob I/O: seekable, and never holding the value in memory.
class BlobReadStream : public Stream {
public:
    // Raises DatabaseError naming the file when the value cannot be opened.
    BlobReadStream(sqlite3* db, const std::string& table, const std::string& column,
                   std::int64_t rowid, const std::string& context);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return m_blob.Size(); }

private:
    BlobHandle m_blob;
    std::int64_t m_position = 0;
};

} // namespace velmora::db
