#include "archive/PieceReader.h"

#include "archive/ArchivePieces.h"

#include <sqlite3.h>

#include <algorithm>

namespace velmora {

PieceReader::PieceReader(sqlite3* db, const std::string& path, std::int64_t recordRowid, std::int64_t total,
                         bool pieced)
    : m_db(db), m_path(path), m_recordRowid(recordRowid), m_total(total), m_pieced(pieced)
{
}

void PieceReader::OpenNextValue()
{
    if (m_value)
        m_value->Close("read archive value");
    std::int64_t rowid = m_recordRowid;
    const char* table = "record";
    const char* column = "rec_object";
    if (m_number > 0) {
        if (!m_pieces.Valid()) {
            m_pieces = db::Statement(m_db,
                                     std::string("SELECT rowid FROM ") + kPieceTable +
                                         " WHERE rp_record = ? ORDER BY rp_piece",
                                     m_path);
            m_pieces.BindInt64(1, m_recordRowid);
        }
        if (!m_pieces.Step())
            throw StreamError("the content of an archive item ends after " + std::to_string(m_position) + " of " +
                              std::to_string(m_total) + " bytes");
        rowid = sqlite3_column_int64(m_pieces.Handle(), 0);
        table = kPieceTable;
        column = "rp_object";
    }
    m_value = std::make_unique<db::BlobHandle>(m_db, table, column, rowid, false, m_path);
    ++m_number;
    m_inValue = 0;
    if (m_number == 1)
        m_pieceLength = m_value->Size();
    const std::int64_t expected = m_pieced ? PieceLength(m_total, m_pieceLength, m_number) : m_total;
    if (m_value->Size() != expected || expected == 0)
        throw StreamError("piece " + std::to_string(m_number) + " of an archive item holds " +
                          std::to_string(m_value->Size()) + " bytes instead of " + std::to_string(expected));
}

std::int64_t PieceReader::Read(void* buffer, std::int64_t count)
{
    auto* target = static_cast<char*>(buffer);
    std::int64_t done = 0;
    while (done < count && m_position < m_total) {
        if (!m_value || m_inValue == m_value->Size())
            OpenNextValue();
        const std::int64_t n = std::min({count - done, m_value->Size() - m_inValue, m_total - m_position});
        m_value->ReadAt(target + done, n, m_inValue, "read archive value");
        m_inValue += n;
        m_position += n;
        done += n;
    }
    return done;
}

std::int64_t PieceReader::Write(const void*, std::int64_t)
{
    throw StreamError("An archive item is read-only");
}

std::int64_t PieceReader::Seek(std::int64_t offset, SeekOrigin origin)
{
    if (origin == SeekOrigin::Current && offset == 0)
        return m_position;
    throw StreamError("An archive item is read front to back");
}

} // namespace velmora
