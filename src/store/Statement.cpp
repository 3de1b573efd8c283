#include "store/Statement.h"

#include "store/DatabaseError.h"

#include <sqlite3.h>

#include <utility>

namespace velmora::db {

std::string DescribeError(sqlite3* db, int rc, std::string_view context, std::string_view sql)
{
    std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    if (message.empty() || message == "not an error")
        message = sqlite3_errstr(rc);
    if ((rc & 0xff) == SQLITE_FULL)
        message = kNoSpaceMessage;
    message += " (database \"";
    message += context;
    message += '"';
    if (!sql.empty()) {
        message += ", statement \"";
        message += sql;
        message += '"';
    }
    message += ')';
    return message;
}

Statement::Statement(sqlite3* db, std::string_view sql, std::string context)
    : m_db(db), m_sql(sql), m_context(std::move(context))
{
    if (!db)
        throw DatabaseError("Database is not open (database \"" + m_context + "\", statement \""
                            + m_sql + "\")");
    const int rc = sqlite3_prepare_v2(db, m_sql.data(), static_cast<int>(m_sql.size()), &m_stmt,
                                      nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        Fail(rc);
    }
}

Statement::~Statement()
{
    sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)),
      m_stmt(std::exchange(other.m_stmt, nullptr)),
      m_sql(std::move(other.m_sql)),
      m_context(std::move(other.m_context))
{
}

Statement& Statement::operator=(Statement&& other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
        m_sql = std::move(other.m_sql);
        m_context = std::move(other.m_context);
    }
    return *this;
}

void Statement::Fail(int rc) const
{
    RaiseError(rc, DescribeError(m_db, rc, m_context, m_sql));
}

void RaiseError(int rc, const std::string& message)
{
    if ((rc & 0xff) == SQLITE_FULL)
        throw DiskFull(message);
    throw DatabaseError(message);
}

bool Statement::Step()
{
    if (!m_stmt)
        return false;
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The statement must not stay in its failed state: reset it so that it lets go of
    // its read snapshot, then report.
    sqlite3_reset(m_stmt);
    Fail(rc);
}

void Statement::Run()
{
    while (Step()) {
    }
}

void Statement::Reset()
{
    if (m_stmt)
        sqlite3_reset(m_stmt);
}

void Statement::BindInt64(int index, std::int64_t value)
{
    if (const int rc = sqlite3_bind_int64(m_stmt, index, value); rc != SQLITE_OK)
        Fail(rc);
}

void Statement::BindText(int index, std::string_view value)
{
    if (const int rc = sqlite3_bind_text64(m_stmt, index, value.data(), value.size(),
                                           SQLITE_TRANSIENT, SQLITE_UTF8);
        rc != SQLITE_OK)
        Fail(rc);
}

void Statement::BindBlob(int index, const void* data, std::int64_t size)
{
    // A null pointer would bind NULL; an empty value is a zero-length blob.
    if (size == 0 || !data) {
        BindZeroBlob(index, 0);
        return;
    }
    // Static: the caller keeps the bytes alive until the statement has run, which
    // spares SQLite a copy of every chunk.
    if (const int rc = sqlite3_bind_blob64(m_stmt, index, data,
                                           static_cast<sqlite3_uint64>(size), SQLITE_STATIC);
        rc != SQLITE_OK)
        Fail(rc);
}

void Statement::BindZeroBlob(int index, std::int64_t size)
{
    if (const int rc = sqlite3_bind_zeroblob64(m_stmt, index, static_cast<sqlite3_uint64>(size));
        rc != SQLITE_OK)
        Fail(rc);
}

void Statement::BindNull(int index)
{
    if (const int rc = sqlite3_bind_null(m_stmt, index); rc != SQLITE_OK)
        Fail(rc);
}

std::int64_t SingleInteger(sqlite3* db, std::string_view sql, const std::string& context)
{
    Statement st(db, sql, context);
    return st.Step() ? sqlite3_column_int64(st.Handle(), 0) : 0;
}

} // namespace velmora::db
