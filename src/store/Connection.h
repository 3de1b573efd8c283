#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace velmora::db {

// How long a library file's write-ahead log may stay once it starts again from its
// beginning (see Connection::Open).
inline constexpr const char* kJournalSizeLimit = "PRAGMA journal_size_limit = 4194304";

// One connection to one library, store or archive file, opened from a connection
// string. Never shared between threads. Closing happens on destruction at the latest.
//
// Mode "Share Deny None" opens the file for reading and writing beside any number of
// other connections (write-ahead journal, busy timeout); files marked as archives keep
// their rollback journal. Mode "Read|Share Deny Read|Share Deny Write" opens it
// read-only and holds a read lock for the connection's life, so no other connection
// can commit a change to the file meanwhile; every write on it raises DatabaseError.
class Connection {
public:
    // SQLCipher's page size: not stored in the file, so every file must be opened with
    // the size it was created with. Chosen by bench/DatabaseBench.cpp: a chunk is read
    // at 896 MB/s and written at 176 MB/s, against 604 and 141 at 4 KiB and 266 and 80
    // at 1 KiB.
    static constexpr int kCipherPageSize = 16384;
    // PRAGMA application_id of a transfer archive: such a file keeps its rollback
    // journal, because an archive being imported is opened read-only and locked.
    static constexpr int kArchiveApplicationId = 0x564D4541;   // "VMEA"

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
    // Creates the file named by Data Source, keyed with the connection string's
    // password, and leaves the connection open on it (in rollback-journal mode until
    // it is next opened). The one way a database file comes into being; raises
    // DatabaseError when the file exists already or cannot be made.
    void Create();
    void Close();
    bool Connected() const { return m_db != nullptr; }
    bool ReadOnly() const { return m_readOnly; }
    // True while a transaction (Transaction, or the read lock of a read-only
    // connection) is open on the connection.
    bool InTransaction() const;

    // A statement (or several, separated by ";") that returns no rows. Raises
    // DatabaseError.
    void Execute(std::string_view sql);
    // Rows changed by the last Execute.
    int RowsAffected() const { return m_rowsAffected; }

    // Page size for files made by other means than the shipped templates (the page
    // size benchmark); must be set before Open or Create.
    void SetCipherPageSize(int bytes) { m_pageSize = bytes; }
    // Opens the file, whatever the Mode says, as one that nothing changes while it is
    // open: read-only, with no lock taken and no journal beside it looked at, taken
    // back or made (a file from someone else, read as it lies). Must be set before Open.
    void SetImmutable(bool immutable) { m_immutable = immutable; }

    sqlite3* Handle() const { return m_db; }

private:
    void OpenFile(int flags);
    void Key(const std::string& path);
    [[noreturn]] void FailOpen(const std::string& path, const std::string& reason);
    // The connection string's Mode asks for reading only.
    bool OpensReadOnly() const;

    std::string m_connectionString;
    sqlite3* m_db = nullptr;
    bool m_readOnly = false;
    int m_rowsAffected = 0;
    int m_pageSize = kCipherPageSize;
    bool m_immutable = false;
};

} // namespace velmora::db
