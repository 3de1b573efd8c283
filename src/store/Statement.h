#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace velmora::db {

// One prepared SQLite statement, finalized on destruction. Errors are raised as
// DatabaseError naming the file (context) and the statement text.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, std::string_view sql, std::string context);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Valid() const { return m_stmt != nullptr; }
    sqlite3_stmt* Handle() const { return m_stmt; }
    const std::string& Sql() const { return m_sql; }

    // True when a row is ready, false when done.
    bool Step();
    // Steps to the end, for statements that return no rows.
    void Run();
    void Reset();

    void BindInt64(int index, std::int64_t value);
    void BindText(int index, std::string_view value);
    void BindBlob(int index, const void* data, std::int64_t size);
    void BindZeroBlob(int index, std::int64_t size);
    void BindNull(int index);

    [[noreturn]] void Fail(int rc) const;

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    std::string m_sql;
    std::string m_context;
};

// The first column of the first row of sql as a number, 0 when there is no row. Raises
// DatabaseError naming the file (context).
std::int64_t SingleInteger(sqlite3* db, std::string_view sql, const std::string& context);

// "<message> (database "<file>", statement "<sql>")"; a full disk is told as such.
std::string DescribeError(sqlite3* db, int rc, std::string_view context, std::string_view sql);
// Throws the message as DiskFull when rc says the disk is full, else as DatabaseError.
[[noreturn]] void RaiseError(int rc, const std::string& message);

} // namespace velmora::db
