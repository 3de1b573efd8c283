#include "store/TableRow.h"

#include "store/AsciiText.h"
#include "store/BlobHandle.h"
#include "store/BlobSpool.h"
#include "store/BlobWriteStream.h"
#include "store/Connection.h"
#include "store/Statement.h"

#include <sqlite3.h>

#include <algorithm>

namespace velmora::db {

namespace {

// Pieces in which a spooled long value is copied into its row.
constexpr std::int64_t kBlobPiece = 1024 * 1024;

bool SameName(std::string_view a, std::string_view b)
{
    return AsciiLower(a) == AsciiLower(b);
}

// A value still in memory is bound as it is (the spool outlives the statement); a
// longer one gets its room now and its content piece by piece once the row exists.
void BindLongValue(Statement& statement, int index, const BlobSpool& spool)
{
    if (spool.InMemory())
        statement.BindBlob(index, spool.Data(), spool.Size());
    else
        statement.BindZeroBlob(index, spool.Size());
}

} // namespace

std::string QuoteIdentifier(std::string_view name)
{
    std::string quoted = "\"";
    for (char c : name) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

TableRow::TableRow(std::string table) : m_table(std::move(table)) {}

TableRow& TableRow::Set(std::string_view column, SqlValue value)
{
    std::erase_if(m_long, [&](const LongValue& v) { return SameName(v.column, column); });
    for (auto& [name, v] : m_values)
        if (SameName(name, column)) {
            v = std::move(value);
            return *this;
        }
    m_values.emplace_back(std::string(column), std::move(value));
    return *this;
}

std::unique_ptr<Stream> TableRow::OpenWriteStream(std::string_view column)
{
    std::erase_if(m_values, [&](const auto& v) { return SameName(v.first, column); });
    std::erase_if(m_long, [&](const LongValue& v) { return SameName(v.column, column); });
    auto spool = std::make_shared<BlobSpool>();
    m_long.push_back({std::string(column), spool});
    return std::make_unique<BlobWriteStream>(std::move(spool));
}

// A long value takes several statements; they commit together or not at all, inside
// the caller's transaction when there is one.
template <typename Work>
auto TableRow::AllOrNothing(Connection& connection, Work work) const
{
    sqlite3* db = connection.Handle();
    if (std::all_of(m_long.begin(), m_long.end(), [](const LongValue& v) { return v.spool->InMemory(); }))
        return work();
    const bool outer = sqlite3_get_autocommit(db) == 0;
    connection.Execute(outer ? "SAVEPOINT vm_row" : "BEGIN IMMEDIATE");
    try {
        auto result = work();
        connection.Execute(outer ? "RELEASE vm_row" : "COMMIT");
        return result;
    } catch (...) {
        if (outer)
            sqlite3_exec(db, "ROLLBACK TO vm_row; RELEASE vm_row", nullptr, nullptr, nullptr);
        else if (sqlite3_get_autocommit(db) == 0)
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

void TableRow::WriteLongValues(Connection& connection, std::int64_t rowid) const
{
    for (const auto& [column, spool] : m_long) {
        if (spool->InMemory())
            continue;
        const std::string what = "write " + m_table + "." + column;
        BlobHandle blob(connection.Handle(), m_table, column, rowid, true, connection.DataSource());
        spool->ForEachPiece(kBlobPiece, [&](const char* data, std::int64_t n, std::int64_t offset) {
            blob.WriteAt(data, n, offset, what);
        });
        blob.Close(what);
    }
}

std::int64_t TableRow::Insert(Connection& connection) const
{
    std::string names, marks;
    auto add = [&](const std::string& column) {
        names += (names.empty() ? "" : ", ") + QuoteIdentifier(column);
        marks += marks.empty() ? "?" : ", ?";
    };
    for (const auto& value : m_values)
        add(value.first);
    for (const auto& value : m_long)
        add(value.column);
    const std::string table = QuoteIdentifier(m_table);
    const std::string sql = names.empty() ? "INSERT INTO " + table + " DEFAULT VALUES"
                                          : "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
    return AllOrNothing(connection, [&] {
        sqlite3* db = connection.Handle();
        std::int64_t rowid = 0;
        {
            Statement insert(db, sql, connection.DataSource());
            int index = 1;
            for (const auto& value : m_values)
                value.second.Bind(insert, index++);
            for (const auto& value : m_long)
                BindLongValue(insert, index++, *value.spool);
            insert.Run();
            // A row refused by an ON CONFLICT IGNORE constraint adds nothing.
            if (sqlite3_changes(db) > 0)
                rowid = sqlite3_last_insert_rowid(db);
        }
        if (rowid != 0)
            WriteLongValues(connection, rowid);
        return rowid;
    });
}

std::vector<std::int64_t> TableRow::RowsWhere(Connection& connection, std::string_view where,
                                              std::initializer_list<SqlValue> params) const
{
    Statement select(connection.Handle(),
                     "SELECT _rowid_ FROM " + QuoteIdentifier(m_table) + " WHERE " + std::string(where),
                     connection.DataSource());
    int index = 1;
    for (const auto& param : params)
        param.Bind(select, index++);
    std::vector<std::int64_t> rows;
    while (select.Step())
        rows.push_back(sqlite3_column_int64(select.Handle(), 0));
    return rows;
}

int TableRow::Update(Connection& connection, std::string_view where, std::initializer_list<SqlValue> params) const
{
    if (Empty())
        return 0;
    std::string sets;
    for (const auto& value : m_values)
        sets += (sets.empty() ? "" : ", ") + QuoteIdentifier(value.first) + " = ?";
    for (const auto& value : m_long)
        sets += (sets.empty() ? "" : ", ") + QuoteIdentifier(value.column) + " = ?";
    const std::string sql = "UPDATE " + QuoteIdentifier(m_table) + " SET " + sets + " WHERE " + std::string(where);
    return AllOrNothing(connection, [&] {
        // The rows are known before they change, since the change may move them out of
        // what `where` picks.
        const bool spooled = std::any_of(m_long.begin(), m_long.end(),
                                         [](const LongValue& v) { return !v.spool->InMemory(); });
        const std::vector<std::int64_t> rows = spooled ? RowsWhere(connection, where, params)
                                                       : std::vector<std::int64_t>();
        sqlite3* db = connection.Handle();
        int changed = 0;
        {
            Statement update(db, sql, connection.DataSource());
            int index = 1;
            for (const auto& value : m_values)
                value.second.Bind(update, index++);
            for (const auto& value : m_long)
                BindLongValue(update, index++, *value.spool);
            for (const auto& param : params)
                param.Bind(update, index++);
            update.Run();
            changed = sqlite3_changes(db);
        }
        for (const std::int64_t rowid : rows)
            WriteLongValues(connection, rowid);
        return changed;
    });
}

} // namespace velmora::db
