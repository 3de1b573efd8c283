#include "archive/ArchiveFile.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveReaderProtocol.h"
#include "archive/ArchiveReadLock.h"
#include "archive/PieceReader.h"
#include "store/ConnectionString.h"
#include "store/DatabaseError.h"
#include "store/LibraryFiles.h"
#include "store/Query.h"
#include "store/ColumnStream.h"
#include "store/TableRow.h"
#include "store/Statement.h"
#include "store/Stream.h"

#include <sqlite3.h>

#include <sys/stat.h>

namespace velmora {

namespace {

// A text column as stored; null as nothing.
std::string Bytes(sqlite3_stmt* st, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(st, column))) : std::string();
}

// Rows whose rec_object is not their content: rec_size rounded up to whole blocks.
constexpr const char* kPlainRowsCheck =
    "SELECT count(*) FROM record WHERE typeof(rec_size) <> 'integer' "
    "OR rec_size < 0 OR typeof(rec_object) NOT IN ('blob', 'null') "
    "OR coalesce(length(rec_object), 0) <> (rec_size + 7) / 8 * 8";

// The same for an archive with pieces, where a row with pieces holds its first one:
// shorter than the content, a whole number of blocks, and followed by exactly as many
// pieces as the content needs at that length, numbered once each. Null (a division by
// a zero length) counts as bad.
constexpr const char* kPiecedRowsCheck =
    "SELECT count(*) FROM record r LEFT JOIN "
    "(SELECT rp_record AS owner, count(*) AS pieces, count(DISTINCT rp_piece) AS numbers "
    " FROM recpiece GROUP BY rp_record) p ON p.owner = r.rowid "
    "WHERE typeof(r.rec_size) <> 'integer' OR r.rec_size < 0 OR typeof(r.rec_object) NOT IN ('blob', 'null') "
    "OR NOT coalesce(CASE WHEN p.owner IS NULL "
    " THEN coalesce(length(r.rec_object), 0) = (r.rec_size + 7) / 8 * 8 "
    " ELSE typeof(r.rec_object) = 'blob' AND length(r.rec_object) > 0 AND length(r.rec_object) % 8 = 0 "
    "  AND length(r.rec_object) < (r.rec_size + 7) / 8 * 8 AND p.pieces = p.numbers "
    "  AND p.pieces = ((r.rec_size + 7) / 8 * 8 + length(r.rec_object) - 1) / length(r.rec_object) - 1 END, 0)";

// Pieces that name no row, are numbered outside their item's pieces (the first, in
// rec_object, is 1), or are not as long as their place in the content says: every
// piece but the last as long as the first, the last what remains.
constexpr const char* kPiecesCheck =
    "SELECT count(*) FROM recpiece p LEFT JOIN record r ON r.rowid = p.rp_record "
    "WHERE NOT coalesce(r.rowid IS NOT NULL AND typeof(p.rp_record) = 'integer' "
    " AND typeof(p.rp_piece) = 'integer' AND typeof(p.rp_object) = 'blob' AND typeof(r.rec_size) = 'integer' "
    " AND length(r.rec_object) > 0 AND p.rp_piece >= 2 "
    " AND (p.rp_piece - 1) * length(r.rec_object) < (r.rec_size + 7) / 8 * 8 "
    " AND length(p.rp_object) = min(length(r.rec_object), "
    "     (r.rec_size + 7) / 8 * 8 - (p.rp_piece - 1) * length(r.rec_object)), 0)";

} // namespace

ArchiveFile::ArchiveFile(const std::string& path, const std::string& templatePath) : m_path(path)
{
    using Reason = ArchiveError::Reason;
    const std::string quoted = "\"" + path + "\"";
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        throw ArchiveError(Reason::NotAnArchive, quoted + " does not exist or is not a file");
    // Held before the engine reads a byte, and asked without waiting: a writer that is
    // half-way through is refused at once.
    m_lock = std::make_unique<ArchiveReadLock>(path);

    m_connection.SetConnectionString(
        db::ConnectionString::Build(path, db::kReadShareDenyReadWrite, GetDatabasePassword()));
    m_connection.SetImmutable(true);
    try {
        m_connection.Open();
    } catch (const db::DatabaseError& failure) {
        const std::string text = failure.what();
        if (text.find("locked") != std::string::npos || text.find("busy") != std::string::npos)
            throw ArchiveError(Reason::Locked, quoted + " is being written by another program");
        // The engine finds a file cut short by whole pages already when it opens it.
        if (text.find("malformed") != std::string::npos)
            throw ArchiveError(Reason::Damaged, quoted + " is damaged or incomplete (" + text + ")");
        // A file of another program and one keyed with another database password look
        // the same: neither decrypts.
        throw ArchiveError(Reason::NotAnArchive, quoted + " is not a transfer archive (" + text + ")");
    }
    try {
        m_form = CheckArchiveSchema(m_connection, templatePath);
        CheckCheckValue();
        CheckLength();
        CheckPages();
        CheckRows();
    } catch (const db::DatabaseError& failure) {
        m_connection.Close();
        throw ArchiveError(Reason::Damaged, quoted + " cannot be read: " + failure.what());
    } catch (...) {
        m_connection.Close();
        throw;
    }
}

ArchiveFile::~ArchiveFile() = default;

void ArchiveFile::CheckCheckValue()
{
    // Without a check value no password could ever open it: the dialog would ask forever.
    if (db::SingleInteger(m_connection.Handle(), "SELECT count(*) FROM (SELECT opt_pass FROM Options LIMIT 1) "
                                      "WHERE coalesce(opt_pass, '') <> ''",
               m_path)
        == 0)
        throw ArchiveError(ArchiveError::Reason::BadContent, "\"" + m_path + "\" holds no password check value");
    if (db::SingleInteger(m_connection.Handle(), "SELECT length(CAST(opt_pass AS BLOB)) FROM Options LIMIT 1", m_path) >
        static_cast<std::int64_t>(reader::kMaxTextPayload) / 2)
        throw ArchiveError(ArchiveError::Reason::BadContent, "\"" + m_path + "\" holds no usable check value");
}

void ArchiveFile::CheckLength()
{
    // A file cut short still opens (its first pages are there) and fails only when a
    // missing page is read, half-way through the import. Every page the header counts
    // must be in the file.
    sqlite3* db = m_connection.Handle();
    const std::int64_t pages = db::SingleInteger(db, "PRAGMA page_count", m_path);
    const std::int64_t pageSize = db::SingleInteger(db, "PRAGMA page_size", m_path);
    struct stat info {};
    if (stat(m_path.c_str(), &info) != 0 || info.st_size < pages * pageSize)
        throw ArchiveError(ArchiveError::Reason::Damaged,
                           "\"" + m_path + "\" is incomplete: it ends after " + std::to_string(info.st_size) +
                               " of " + std::to_string(pages * pageSize) + " bytes");
}

void ArchiveFile::CheckPages()
{
    // Every page is read and checked once (each carries its own authentication code),
    // so a page damaged anywhere is found before the first item is added rather than
    // half-way through the import. It costs about a tenth of the import itself
    // (bench/archive-vs-openssl.sh).
    db::Statement check(m_connection.Handle(), "PRAGMA quick_check(1)", m_path);
    const std::string verdict =
        check.Step() ? reinterpret_cast<const char*>(sqlite3_column_text(check.Handle(), 0)) : "no answer";
    if (verdict != "ok")
        throw ArchiveError(ArchiveError::Reason::Damaged, "\"" + m_path + "\" is damaged: " + verdict);
}

void ArchiveFile::CheckRows()
{
    // length() of a blob reads the row's header only, not the value: all rows are
    // checked in one pass before anything is added, so a bad archive adds nothing.
    const std::int64_t bad = db::SingleInteger(m_connection.Handle(),
                                    m_form == ArchiveForm::Plain ? kPlainRowsCheck : kPiecedRowsCheck, m_path);
    if (bad > 0)
        throw ArchiveError(ArchiveError::Reason::BadContent,
                           "\"" + m_path + "\" is damaged: " + std::to_string(bad) +
                               " item(s) do not hold the content their size names");
    if (m_form == ArchiveForm::Pieced) {
        const std::int64_t stray = db::SingleInteger(m_connection.Handle(), kPiecesCheck, m_path);
        if (stray > 0)
            throw ArchiveError(ArchiveError::Reason::BadContent,
                               "\"" + m_path + "\" is damaged: " + std::to_string(stray) +
                                   " piece(s) of content do not fit the item they name");
    }
    // The texts of a row travel to the importer in one piece of bounded size.
    const std::int64_t tooLong = db::SingleInteger(
        m_connection.Handle(),
        "SELECT count(*) FROM record WHERE coalesce(length(CAST(rec_tnorigname AS BLOB)), 0) + "
        "coalesce(length(CAST(rec_description AS BLOB)), 0) + coalesce(length(CAST(rec_notes AS BLOB)), 0) > " +
            std::to_string(reader::kMaxTextPayload / 2),
        m_path);
    if (tooLong > 0)
        throw ArchiveError(ArchiveError::Reason::BadContent,
                           "\"" + m_path + "\" holds " + std::to_string(tooLong) +
                               " item(s) whose name, description and notes are too long");
}

std::int64_t ArchiveFile::RowCount()
{
    return db::SingleInteger(m_connection.Handle(), "SELECT count(*) FROM record", m_path);
}

std::string ArchiveFile::CheckValue()
{
    db::Query options(m_connection, "select * from options");
    return options.Eof() ? std::string() : options.AsString("opt_pass");
}

void ArchiveFile::ForEachRow(const std::function<void(Row&)>& each)
{
    db::Statement rows(m_connection.Handle(),
                       "SELECT rowid AS rec_rowid, rec_size, rec_tnorigname, rec_description, rec_notes FROM record",
                       m_path);
    while (rows.Step()) {
        sqlite3_stmt* st = rows.Handle();
        Row row;
        row.size = sqlite3_column_int64(st, 1);
        row.name = Bytes(st, 2);
        row.description = Bytes(st, 3);
        row.notes = Bytes(st, 4);
        PieceReader object(m_connection.Handle(), m_path, sqlite3_column_int64(st, 0), (row.size + 7) / 8 * 8,
                           m_form == ArchiveForm::Pieced);
        row.object = &object;
        each(row);
    }
}

} // namespace velmora
