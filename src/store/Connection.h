#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace velmora::db {

// One connection to one library, store or archive file, opened from a connection
// string. Never shared between threads. Closing happens on destruction at the latest.
class Connection {
public:
    Connection() = default;
    explicit Connection(std::string connectionString);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void SetConnectionString(std::string connectionString);
    const std::string& GetConnectionString() const { return m_connectionString; }
    // The file named by Data Source.
    std::string DataSource() const;

    // Raises DatabaseError naming the file when it is missing, is not a database or
    // carries another database password. Opening an open connection does nothing.
    void Open();
    void Close();
    bool Connected() const { return m_db != nullptr; }
    bool ReadOnly() const { return m_readOnly; }

    // A statement that returns no rows. Raises DatabaseError.
    void Execute(std::string_view sql);
    // Rows changed by the last Execute.
    int RowsAffected() const;

    sqlite3* Handle() const { return m_db; }

private:
    std::string m_connectionString;
    sqlite3* m_db = nullptr;
    bool m_readOnly = false;
};

} // namespace velmora::db
