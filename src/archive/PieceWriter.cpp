#include "archive/PieceWriter.h"

#include "archive/ArchivePieces.h"
#include "store/Connection.h"
#include "store/Statement.h"
#include "store/WriteBehind.h"

#include <sqlite3.h>

#include <algorithm>

namespace velmora {

namespace {

// A value's pages follow the file's pages of before its row, each holding a little less
// than a page of it, so value offset P lies at or beyond file offset start + P; this
// margin covers the pages the engine still holds in its cache.
constexpr std::int64_t kEngineCacheMargin = 16 << 20;

} // namespace

PieceWriter::PieceWriter(db::Connection& archive, WriteBehind& behind, std::int64_t recordRowid,
                         std::int64_t fileBefore, std::int64_t total, std::int64_t pieceLength)
    : m_archive(archive), m_behind(behind), m_recordRowid(recordRowid), m_total(total), m_pieceLength(pieceLength),
      m_value(std::make_unique<ArchiveBlobStream>(archive.Handle(), "record", "rec_object", recordRowid,
                                                  archive.DataSource())),
      m_valueStart(fileBefore)
{
}

std::int64_t PieceWriter::FileLength()
{
    return db::SingleInteger(m_archive.Handle(), "PRAGMA page_count", m_archive.DataSource()) *
           db::SingleInteger(m_archive.Handle(), "PRAGMA page_size", m_archive.DataSource());
}

void PieceWriter::OpenNextPiece()
{
    m_value->Close();
    m_value.reset();
    if (db::SingleInteger(m_archive.Handle(),
                          std::string("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = '") +
                              kPieceTable + "'",
                          m_archive.DataSource()) == 0)
        m_archive.Execute(PieceTableSql());
    ++m_number;
    m_valueStart = FileLength();
    db::Statement insert(m_archive.Handle(),
                         std::string("INSERT INTO ") + kPieceTable +
                             " (rp_record, rp_piece, rp_object) VALUES (?, ?, zeroblob(?))",
                         m_archive.DataSource());
    insert.BindInt64(1, m_recordRowid);
    insert.BindInt64(2, m_number);
    insert.BindInt64(3, PieceLength(m_total, m_pieceLength, m_number));
    insert.Run();
    m_value = std::make_unique<ArchiveBlobStream>(m_archive.Handle(), kPieceTable, "rp_object",
                                                  sqlite3_last_insert_rowid(m_archive.Handle()),
                                                  m_archive.DataSource());
}

std::int64_t PieceWriter::Read(void*, std::int64_t)
{
    throw StreamError("Cannot read from an archive value being written");
}

std::int64_t PieceWriter::Write(const void* buffer, std::int64_t count)
{
    const auto* bytes = static_cast<const char*>(buffer);
    std::int64_t done = 0;
    count = std::min(count, m_total - m_position);
    while (done < count) {
        if (m_value->Position() == m_value->Size())
            OpenNextPiece();
        const std::int64_t n = m_value->Write(bytes + done, std::min(count - done, m_value->Size() - m_value->Position()));
        done += n;
        m_position += n;
        m_behind.Reached(m_valueStart + m_value->Position() - kEngineCacheMargin);
    }
    return done;
}

std::int64_t PieceWriter::Seek(std::int64_t offset, SeekOrigin origin)
{
    if (origin == SeekOrigin::Current && offset == 0)
        return m_position;
    throw StreamError("Cannot seek on an archive value being written");
}

void PieceWriter::Close()
{
    m_value->Close();
}

} // namespace velmora
