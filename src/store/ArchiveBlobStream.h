#pragma once

#include "store/BlobHandle.h"
#include "store/Stream.h"

#include <cstdint>
#include <string>

namespace velmora {

// Writes one long-binary value of a row in place, front to back, through SQLite's
// incremental blob I/O. The value must already have its final length (a zeroblob):
// the bytes go straight into the database file, with no spool on the side, which
// halves the disk traffic of a large export. Write-only; takes no more bytes than the
// value has room for (the caller's stream then fails).
class ArchiveBlobStream : public Stream {
public:
    // Raises DatabaseError naming the file when the value cannot be opened.
    ArchiveBlobStream(sqlite3* db, const std::string& table, const std::string& column, std::int64_t rowid,
                      const std::string& context);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    // Tells the position (offset 0 from the current one); no other move.
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return m_blob.Size(); }

    // Closes the value, raising DatabaseError when the close reports a failure.
    void Close();

private:
    db::BlobHandle m_blob;
    std::int64_t m_position = 0;
};

} // namespace velmora
