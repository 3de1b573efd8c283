#pragma once

#include "store/SqlValue.h"
#include "store/Statement.h"
#include "store/Stream.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::db {

class Connection;

// A cursor over one select statement, run exactly as written with its parameters ("?")
// bound in order: rows are fetched one at a time as the cursor moves. Fields are the
// statement's result columns, found by name case-insensitively. Changes go through
// TableRow or a Statement, never through a query.
class Query {
public:
    // Executes sql and stands on its first row (Eof when there is none).
    Query(Connection& connection, std::string_view sql, std::initializer_list<SqlValue> params = {});
    Query(Connection& connection, std::string_view sql, std::vector<SqlValue> params);
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    bool Eof() const { return !m_onRow; }
    void Next();
    void First();
    // Number of rows the statement returns (counted by the database, not fetched).
    int RecordCount();

    bool HasField(std::string_view field) const;
    bool IsNull(std::string_view field) const;
    // Null reads as 0, "" and false; a Date column holds "YYYY-MM-DD".
    std::int64_t AsInteger(std::string_view field) const;
    std::string AsString(std::string_view field) const;   // bytes as stored
    bool AsBoolean(std::string_view field) const;
    Date AsDate(std::string_view field) const;

    // A copy of the field's value as a stream. A long value of a row should rather be
    // read in place: OpenColumnStream with the row's id.
    std::unique_ptr<Stream> OpenReadStream(std::string_view field) const;

private:
    [[noreturn]] void Fail(const std::string& what) const;
    int RequireColumn(std::string_view field) const;
    void BindAll(Statement& statement) const;
    void Step();

    Connection& m_connection;
    std::string m_sql;
    std::vector<SqlValue> m_params;
    Statement m_statement;
    std::vector<std::string> m_columns;
    bool m_onRow = false;
};

} // namespace velmora::db
