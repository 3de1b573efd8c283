#pragma once

#include "store/ArchiveBlobStream.h"
#include "store/Stream.h"

#include <cstdint>
#include <memory>

namespace velmora {

namespace db {
class Connection;
}
class WriteBehind;

// The encrypted content of one archive row, written front to back into the values that
// hold it: rec_object of the record row, then, when the content is longer than
// pieceLength, rows of the piece table (ArchivePieces.h; the table is made with the
// first of them), each made at its final length just before it is reached, so the
// bytes go straight into the file. Runs inside the row's transaction: the item is in
// the archive whole or not at all, and the piece table stays out of an archive whose
// items all fit. The pages behind the value being filled are final: the kernel is told
// to start writing them (WriteBehind), so that the commit's sync has little left to do.
class PieceWriter : public Stream {
public:
    // The record row (recordRowid) has been inserted with rec_object at the length of
    // the first piece; fileBefore is the file's length before that insert. total: the
    // content's length, rec_size rounded up to whole blocks; pieceLength a multiple of
    // the cipher's block.
    PieceWriter(db::Connection& archive, WriteBehind& behind, std::int64_t recordRowid, std::int64_t fileBefore,
                std::int64_t total, std::int64_t pieceLength);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    // Takes no more than the content's length (the caller's stream then fails).
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    // Tells the position (offset 0 from the current one); no other move.
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return m_total; }

    // Closes the value written last; raises when it cannot be closed. Position() tells
    // how much of the content has been written.
    void Close();

private:
    void OpenNextPiece();
    std::int64_t FileLength();

    db::Connection& m_archive;
    WriteBehind& m_behind;
    const std::int64_t m_recordRowid;
    const std::int64_t m_total;
    const std::int64_t m_pieceLength;
    std::unique_ptr<ArchiveBlobStream> m_value;
    std::int64_t m_valueStart;       // the file's length before the open value's row
    std::int64_t m_number = 1;       // of the open value: 1 for rec_object
    std::int64_t m_position = 0;     // of the content
};

} // namespace velmora
