#include "archive/ArchiveFile.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveReaderProtocol.h"
#include "archive/ArchiveReadLock.h"
#include "store/AsciiText.h"
#include "store/ConnectionString.h"
#include "store/DatabaseError.h"
#include "store/LibraryFiles.h"
#include "store/Query.h"
#include "store/ColumnStream.h"
#include "store/TableRow.h"
#include "store/Statement.h"
#include "store/Stream.h"

#include <sqlite3.h>

#include <algorithm>
#include <set>
#include <sys/stat.h>

namespace velmora {

namespace {

std::string Text(sqlite3_stmt* st, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
    return text ? text : "(null)";
}

// Every object of the database as one line each: "table record", and for a table each
// of its columns as "table record column rec_size INTEGER notnull 0 default (null) key 0".
// Names compare without case, as the engine does.
std::set<std::string> SchemaObjects(sqlite3* db, const std::string& path)
{
    std::set<std::string> objects;
    std::vector<std::string> tables;
    {
        db::Statement master(db, "SELECT type, name FROM sqlite_master", path);
        while (master.Step()) {
            const std::string type = Text(master.Handle(), 0);
            const std::string name = AsciiLower(Text(master.Handle(), 1));
            objects.insert(type + " " + name);
            if (type == "table")
                tables.push_back(name);
        }
    }
    for (const auto& table : tables) {
        db::Statement columns(db, "PRAGMA table_info(" + db::QuoteIdentifier(table) + ")", path);
        while (columns.Step())
            objects.insert("table " + table + " column " + AsciiLower(Text(columns.Handle(), 1)) + " " +
                           AsciiLower(Text(columns.Handle(), 2)) + " notnull " + Text(columns.Handle(), 3) +
                           " default " + Text(columns.Handle(), 4) + " key " + Text(columns.Handle(), 5));
    }
    return objects;
}

// "a, b" of the lines in one set and not in the other.
std::string Difference(const std::set<std::string>& have, const std::set<std::string>& lack)
{
    std::string text;
    for (const auto& line : have)
        if (!lack.count(line))
            text += (text.empty() ? "" : ", ") + line;
    return text;
}

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
        CheckSchema(templatePath);
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

void ArchiveFile::CheckSchema(const std::string& templatePath)
{
    // Only what the template has is read: a view in place of a table can run without
    // end, and anything else the engine would parse or run is not needed.
    db::Connection templ(db::ConnectionString::Build(templatePath, db::kReadShareDenyReadWrite, GetDatabasePassword()));
    templ.SetImmutable(true);
    templ.Open();
    const std::set<std::string> expected = SchemaObjects(templ.Handle(), templatePath);
    templ.Close();
    const std::set<std::string> found = SchemaObjects(m_connection.Handle(), m_path);
    if (found == expected)
        return;
    std::string what;
    if (const std::string extra = Difference(found, expected); !extra.empty())
        what += "it has " + extra;
    if (const std::string missing = Difference(expected, found); !missing.empty())
        what += (what.empty() ? "it lacks " : "; it lacks ") + missing;
    throw ArchiveError(ArchiveError::Reason::MissingSchema,
                       "\"" + m_path + "\" is not a transfer archive: " + what);
}

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
                                    "SELECT count(*) FROM record WHERE typeof(rec_size) <> 'integer' "
                                    "OR rec_size < 0 OR typeof(rec_object) NOT IN ('blob', 'null') "
                                    "OR coalesce(length(rec_object), 0) <> (rec_size + 7) / 8 * 8",
                                    m_path);
    if (bad > 0)
        throw ArchiveError(ArchiveError::Reason::BadContent,
                           "\"" + m_path + "\" is damaged: " + std::to_string(bad) +
                               " item(s) do not hold the content their size names");
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
    // The content is read in place from the row; selecting it would load it whole.
    db::Query rows(m_connection,
                   "Select _rowid_ as record_row, rec_size, rec_tnorigname, rec_description, rec_notes From record");
    for (; !rows.Eof(); rows.Next()) {
        std::unique_ptr<Stream> object =
            db::OpenColumnStream(m_connection, "record", "rec_object", rows.AsInteger("record_row"));
        Row row;
        row.size = rows.AsInteger("rec_size");
        row.name = rows.AsString("rec_tnorigname");
        row.description = rows.AsString("rec_description");
        row.notes = rows.AsString("rec_notes");
        row.object = object.get();
        each(row);
    }
}

} // namespace velmora
