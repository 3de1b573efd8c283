#pragma once

#include "store/SqlValue.h"
#include "store/Stream.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::db {

class BlobSpool;
class Connection;

// The values of one row of one named table, written by one prepared statement with
// every value bound. Column and table names come from the program's own code; user text
// only ever travels as a bound value. Without an explicit Transaction each Insert and
// Update commits at once.
class TableRow {
public:
    explicit TableRow(std::string table);
    TableRow(const TableRow&) = delete;
    TableRow& operator=(const TableRow&) = delete;

    // Setting a column twice keeps the last value.
    TableRow& Set(std::string_view column, SqlValue value);
    // A long value written through the stream: its bytes wait in a spool (memory stays
    // bounded whatever the length) and reach the row piece by piece when it is written.
    // The stream may be released before the row is written.
    std::unique_ptr<Stream> OpenWriteStream(std::string_view column);
    bool Empty() const { return m_values.empty() && m_long.empty(); }

    // Adds the row and returns its row id (the AutoNumber of a table that has one), or 0
    // when the table's conflict clause dropped it.
    std::int64_t Insert(Connection& connection) const;
    // Changes the rows that `where` picks, its "?" bound to params in order; returns how
    // many it changed. A row with long values is written whole or not at all.
    int Update(Connection& connection, std::string_view where, std::initializer_list<SqlValue> params = {}) const;

private:
    struct LongValue {
        std::string column;
        std::shared_ptr<BlobSpool> spool;
    };
    std::vector<std::int64_t> RowsWhere(Connection& connection, std::string_view where,
                                        std::initializer_list<SqlValue> params) const;
    void WriteLongValues(Connection& connection, std::int64_t rowid) const;
    template <typename Work>
    auto AllOrNothing(Connection& connection, Work work) const;

    std::string m_table;
    std::vector<std::pair<std::string, SqlValue>> m_values;
    std::vector<LongValue> m_long;
};

// name in double quotes, inner quotes doubled: safe as an SQL identifier.
std::string QuoteIdentifier(std::string_view name);

} // namespace velmora::db
