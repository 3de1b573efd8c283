#pragma once

#include "store/BlobHandle.h"
#include "store/Statement.h"
#include "store/Stream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

// The content of one archive row, read front to back across the values that hold it:
// rec_object of the record row, then, for an item in pieces, the rows of the piece
// table in the order of their numbers (ArchivePieces.h). One value is open at a time
// and read in place: nothing of the content is held in memory. The archive has been
// checked before (ArchiveFile); a value that is not as long as its place says raises
// StreamError all the same, rather than passing on content that is not the item's.
class PieceReader : public Stream {
public:
    // total: the content's length, rec_size rounded up to whole blocks.
    PieceReader(sqlite3* db, const std::string& path, std::int64_t recordRowid, std::int64_t total, bool pieced);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    // Tells the position (offset 0 from the current one); no other move.
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return m_total; }

private:
    void OpenNextValue();

    sqlite3* m_db;
    std::string m_path;
    std::int64_t m_recordRowid;
    std::int64_t m_total;
    bool m_pieced;
    db::Statement m_pieces;            // the piece table's rows of this item, in order
    std::unique_ptr<db::BlobHandle> m_value;
    std::int64_t m_number = 0;         // of the open value: 1 for rec_object
    std::int64_t m_pieceLength = 0;    // the first value's length
    std::int64_t m_inValue = 0;        // read of the open value
    std::int64_t m_position = 0;       // read of the content
};

} // namespace velmora
