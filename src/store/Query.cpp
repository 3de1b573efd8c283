#include "store/Query.h"

#include "store/AsciiText.h"
#include "store/Connection.h"
#include "store/DatabaseError.h"
#include "store/ValueReadStream.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <utility>

namespace velmora::db {

namespace {

bool TextBoolean(std::string_view value)
{
    const std::string text = AsciiLower(value);
    if (text == "true" || text == "yes" || text == "on")
        return true;
    return std::strtod(text.c_str(), nullptr) != 0;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

} // namespace

Query::Query(Connection& connection, std::string_view sql, std::initializer_list<SqlValue> params)
    : Query(connection, sql, std::vector<SqlValue>(params))
{
}

Query::Query(Connection& connection, std::string_view sql, std::vector<SqlValue> params)
    : m_connection(connection), m_sql(sql), m_params(std::move(params))
{
    // Trailing blanks and ";" would end the statement inside RecordCount's count.
    while (!m_sql.empty() && (std::isspace(static_cast<unsigned char>(m_sql.back())) || m_sql.back() == ';'))
        m_sql.pop_back();
    if (!connection.Handle())
        Fail("Database is not open");
    m_statement = Statement(connection.Handle(), m_sql, connection.DataSource());
    BindAll(m_statement);
    const int count = sqlite3_column_count(m_statement.Handle());
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(m_statement.Handle(), i);
        m_columns.emplace_back(name ? name : "");
    }
    Step();
}

void Query::Fail(const std::string& what) const
{
    throw DatabaseError(what + " (database \"" + m_connection.DataSource() + "\", statement \"" + m_sql + "\")");
}

void Query::BindAll(Statement& statement) const
{
    for (std::size_t i = 0; i < m_params.size(); ++i)
        m_params[i].Bind(statement, static_cast<int>(i) + 1);
}

void Query::Step()
{
    m_onRow = m_statement.Step();
    // A finished cursor lets go of its read snapshot at once, so that it does not
    // hold back other connections' writes or this connection's next transaction.
    if (!m_onRow)
        m_statement.Reset();
}

void Query::Next()
{
    if (m_onRow)
        Step();
}

void Query::First()
{
    m_statement.Reset();
    Step();
}

int Query::RecordCount()
{
    Statement count(m_connection.Handle(), "SELECT count(*) FROM (" + m_sql + ")", m_connection.DataSource());
    BindAll(count);
    return count.Step() ? sqlite3_column_int(count.Handle(), 0) : 0;
}

bool Query::HasField(std::string_view field) const
{
    for (const auto& name : m_columns)
        if (SameName(name, field))
            return true;
    return false;
}

int Query::RequireColumn(std::string_view field) const
{
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (SameName(m_columns[i], field)) {
            if (!m_onRow)
                Fail("No current row");
            return static_cast<int>(i);
        }
    Fail("No field \"" + std::string(field) + "\"");
}

bool Query::IsNull(std::string_view field) const
{
    return sqlite3_column_type(m_statement.Handle(), RequireColumn(field)) == SQLITE_NULL;
}

std::int64_t Query::AsInteger(std::string_view field) const
{
    return sqlite3_column_int64(m_statement.Handle(), RequireColumn(field));
}

std::string Query::AsString(std::string_view field) const
{
    const int column = RequireColumn(field);
    sqlite3_stmt* row = m_statement.Handle();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(row, column))) : std::string();
}

bool Query::AsBoolean(std::string_view field) const
{
    const int column = RequireColumn(field);
    sqlite3_stmt* row = m_statement.Handle();
    switch (sqlite3_column_type(row, column)) {
    case SQLITE_NULL:
        return false;
    case SQLITE_TEXT:
    case SQLITE_BLOB:
        return TextBoolean(AsString(field));
    default:
        return sqlite3_column_int64(row, column) != 0;
    }
}

Date Query::AsDate(std::string_view field) const
{
    if (IsNull(field))
        return Date{};
    const std::string text = AsString(field);
    const auto date = ParseDateText(text);
    if (!date)
        Fail("Field \"" + std::string(field) + "\" holds \"" + text + "\", not a date");
    return *date;
}

std::unique_ptr<Stream> Query::OpenReadStream(std::string_view field) const
{
    const int column = RequireColumn(field);
    sqlite3_stmt* row = m_statement.Handle();
    const auto* data = static_cast<const char*>(sqlite3_column_blob(row, column));
    return std::make_unique<ValueReadStream>(
        data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(row, column))) : std::string());
}

} // namespace velmora::db
