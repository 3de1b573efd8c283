#include "store/ChunkTable.h"

#include "store/ChunkBuffer.h"
#include "store/Connection.h"
#include "store/DatabaseError.h"

#include <sqlite3.h>

#include <cstring>
#include <initializer_list>
#include <string>

namespace velmora {

namespace {

// Resets a statement however its use ends, so that it lets go of its read snapshot.
class ResetAfter {
public:
    explicit ResetAfter(db::Statement& statement) : m_statement(statement) {}
    ~ResetAfter()
    {
        m_statement.Reset();
        sqlite3_clear_bindings(m_statement.Handle());
    }
    ResetAfter(const ResetAfter&) = delete;
    ResetAfter& operator=(const ResetAfter&) = delete;

private:
    db::Statement& m_statement;
};

// Runs a statement that returns no rows with these numbers as its parameters.
void RunWith(db::Statement& statement, std::initializer_list<std::int64_t> values)
{
    ResetAfter reset(statement);
    int index = 0;
    for (const std::int64_t value : values)
        statement.BindInt64(++index, value);
    statement.Run();
}

// The row and its value written into it commit together or not at all: in a
// transaction of their own, or a savepoint inside the caller's.
class Atomically {
public:
    Atomically(db::Connection& connection, const char* name) : m_connection(connection), m_name(name)
    {
        m_nested = connection.InTransaction();
        connection.Execute(m_nested ? "SAVEPOINT " + m_name : std::string("BEGIN IMMEDIATE"));
    }
    ~Atomically()
    {
        if (m_done)
            return;
        const std::string undo = m_nested ? "ROLLBACK TO " + m_name + "; RELEASE " + m_name : std::string("ROLLBACK");
        sqlite3_exec(m_connection.Handle(), undo.c_str(), nullptr, nullptr, nullptr);
    }
    Atomically(const Atomically&) = delete;
    Atomically& operator=(const Atomically&) = delete;

    void Commit()
    {
        m_connection.Execute(m_nested ? "RELEASE " + m_name : std::string("COMMIT"));
        m_done = true;
    }

private:
    db::Connection& m_connection;
    std::string m_name;
    bool m_nested = false;
    bool m_done = false;
};

} // namespace

ChunkTable::ChunkTable(db::Connection& store) : m_store(store)
{
    // Store files made before chunks recorded their key generation hold every chunk under
    // generation 0.
    db::Statement columns(m_store.Handle(), "PRAGMA table_info(recobject)", m_store.DataSource());
    bool found = false;
    while (columns.Step()) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(columns.Handle(), 1));
        if (name && sqlite3_stricmp(name, "ro_keygen") == 0)
            found = true;
    }
    m_hasGeneration = found;
}

db::Statement& ChunkTable::Prepared(db::Statement& statement, const char* sql)
{
    if (!statement.Valid())
        statement = db::Statement(m_store.Handle(), sql, m_store.DataSource());
    return statement;
}

std::optional<ChunkTable::Row> ChunkTable::Read(int recordIdent, int chunkNo, ChunkBuffer& buffer)
{
    db::Statement& find = Prepared(m_find, m_hasGeneration
        ? "SELECT _rowid_, ro_nextstore, ro_keygen, typeof(ro_data) FROM recobject WHERE ro_record = ? AND ro_chunk = ?"
        : "SELECT _rowid_, ro_nextstore, 0, typeof(ro_data) FROM recobject WHERE ro_record = ? AND ro_chunk = ?");
    // The value is read while the row's statement still stands on it: one snapshot for both.
    ResetAfter reset(find);
    find.BindInt64(1, recordIdent);
    find.BindInt64(2, chunkNo);
    if (!find.Step())
        return std::nullopt;
    Row row;
    row.rowid = sqlite3_column_int64(find.Handle(), 0);
    row.nextStore = sqlite3_column_int(find.Handle(), 1);
    row.generation = sqlite3_column_int(find.Handle(), 2);
    const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(find.Handle(), 3));
    row.length = ReadValue(row, type.c_str(), buffer);
    return row;
}

std::int64_t ChunkTable::ReadValue(const Row& row, const char* type, ChunkBuffer& buffer)
{
    if (std::strcmp(type, "null") == 0)
        return 0;
    if (std::strcmp(type, "blob") != 0 && std::strcmp(type, "text") != 0) {
        // A number where the content belongs reads as its text, as a read stream gives it.
        db::Statement& text = Prepared(m_valueText, "SELECT CAST(ro_data AS TEXT) FROM recobject WHERE _rowid_ = ?");
        ResetAfter reset(text);
        text.BindInt64(1, row.rowid);
        if (!text.Step())
            return 0;
        const auto length = static_cast<std::int64_t>(sqlite3_column_bytes(text.Handle(), 0));
        buffer.Reserve(length);
        std::memcpy(buffer.Data(), sqlite3_column_text(text.Handle(), 0), static_cast<std::size_t>(length));
        return length;
    }
    sqlite3* db = m_store.Handle();
    sqlite3_blob* blob = nullptr;
    int rc = sqlite3_blob_open(db, "main", "recobject", "ro_data", row.rowid, 0, &blob);
    if (rc != SQLITE_OK) {
        const std::string message = db::DescribeError(db, rc, m_store.DataSource(), "read recobject.ro_data");
        sqlite3_blob_close(blob);
        db::RaiseError(rc, message);
    }
    const std::int64_t length = sqlite3_blob_bytes(blob);
    buffer.Reserve(length);
    rc = length > 0 ? sqlite3_blob_read(blob, buffer.Data(), static_cast<int>(length), 0) : SQLITE_OK;
    const int closed = sqlite3_blob_close(blob);
    if (rc == SQLITE_OK)
        rc = closed;
    if (rc != SQLITE_OK)
        db::RaiseError(rc, db::DescribeError(db, rc, m_store.DataSource(), "read recobject.ro_data"));
    return length;
}

void ChunkTable::Insert(int recordIdent, int chunkNo, int nextStore, int generation, const void* data,
                        std::int64_t size)
{
    db::Statement& insert = Prepared(m_insert, "INSERT INTO recobject (ro_record, ro_chunk, ro_nextstore, ro_keygen, "
                                               "ro_data) VALUES (?, ?, ?, ?, zeroblob(?))");
    Atomically whole(m_store, "chunk");
    RunWith(insert, {recordIdent, chunkNo, nextStore, generation, size});
    WriteValue(sqlite3_last_insert_rowid(m_store.Handle()), data, size);
    whole.Commit();
}

bool ChunkTable::Rewrite(const Row& row, int recordIdent, int chunkNo, int fromGeneration, int toGeneration,
                         const void* data, std::int64_t size)
{
    db::Statement& rewrite = Prepared(m_rewrite, "UPDATE recobject SET ro_data = zeroblob(?), ro_keygen = ? "
                                                 "WHERE _rowid_ = ? AND ro_record = ? AND ro_chunk = ? AND ro_keygen = ?");
    Atomically whole(m_store, "chunk");
    RunWith(rewrite, {size, toGeneration, row.rowid, recordIdent, chunkNo, fromGeneration});
    if (sqlite3_changes(m_store.Handle()) != 1)
        return false;
    WriteValue(row.rowid, data, size);
    whole.Commit();
    return true;
}

void ChunkTable::WriteValue(std::int64_t rowid, const void* data, std::int64_t size)
{
    if (size == 0)
        return;
    sqlite3* db = m_store.Handle();
    sqlite3_blob* blob = nullptr;
    int rc = sqlite3_blob_open(db, "main", "recobject", "ro_data", rowid, 1, &blob);
    if (rc == SQLITE_OK)
        rc = sqlite3_blob_write(blob, data, static_cast<int>(size), 0);
    const std::string message =
        rc == SQLITE_OK ? std::string() : db::DescribeError(db, rc, m_store.DataSource(), "write recobject.ro_data");
    const int closed = sqlite3_blob_close(blob);
    if (rc == SQLITE_OK && closed != SQLITE_OK)
        db::RaiseError(closed, db::DescribeError(db, closed, m_store.DataSource(), "write recobject.ro_data"));
    if (rc != SQLITE_OK)
        db::RaiseError(rc, message);
}

} // namespace velmora
