#include "store/Connection.h"

#include "store/AsciiText.h"
#include "store/ConnectionString.h"
#include "store/DatabaseError.h"
#include "store/DatabaseKey.h"
#include "store/Statement.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velmora::db {

namespace {

// Long enough for any writer of this program to finish a chunk or a bookkeeping
// transaction: concurrent connections wait instead of failing.
constexpr int kBusyTimeoutMs = 30000;

// The "|"-separated access and share flags of a Mode value, trimmed and lower-cased.
std::vector<std::string> ModeFlags(std::string_view mode)
{
    std::vector<std::string> flags;
    std::size_t pos = 0;
    while (pos <= mode.size()) {
        std::size_t bar = mode.find('|', pos);
        if (bar == std::string_view::npos)
            bar = mode.size();
        std::string flag = AsciiLower(mode.substr(pos, bar - pos));
        flag.erase(0, flag.find_first_not_of(' '));
        flag.erase(flag.find_last_not_of(' ') + 1);
        if (!flag.empty())
            flags.push_back(flag);
        pos = bar + 1;
    }
    return flags;
}

// Less room in the file's folder than a journal index needs.
bool NoRoomBeside(const std::string& path)
{
    const std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/') + 1);
    struct statvfs info {};
    constexpr unsigned long long kJournalIndexBytes = 32768;
    return statvfs(folder.c_str(), &info) == 0 &&
           static_cast<unsigned long long>(info.f_bavail) * info.f_frsize < kJournalIndexBytes;
}

bool HasFlag(const std::vector<std::string>& flags, std::string_view flag)
{
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

// The folder of an existing file, when this process may not make files in it: the
// engine keeps its journal and the journal's index beside the file, and when it cannot
// make them it says no more than "unable to open database file".
std::optional<std::string> UnwritableFolderOf(const std::string& path)
{
    const std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/'));
    if (::access(path.c_str(), F_OK) != 0 || ::access(folder.empty() ? "/" : folder.c_str(), W_OK | X_OK) == 0)
        return std::nullopt;
    return folder.empty() ? "/" : folder;
}

// The engine's URI for opening path immutable; every byte but letters, digits and
// "/._-~" is percent-encoded, so no "?" or "#" of the name is read as a parameter.
std::string ImmutableUri(const std::string& path)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    // An absolute path gets an empty authority, so "//x" is never read as a host.
    std::string uri = path.front() == '/' ? "file://" : "file:";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '.' || c == '_' || c == '-' || c == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += kDigits[byte >> 4];
            uri += kDigits[byte & 0xF];
        }
    }
    return uri + "?immutable=1";
}

} // namespace

Connection::Connection(std::string connectionString) : m_connectionString(std::move(connectionString))
{
}

Connection::~Connection()
{
    Close();
}

void Connection::SetConnectionString(std::string connectionString)
{
    m_connectionString = std::move(connectionString);
}

std::string Connection::DataSource() const
{
    return ConnectionString::Value(m_connectionString, ConnectionString::kDataSource);
}

void Connection::FailOpen(const std::string& path, const std::string& reason)
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_readOnly = false;
    // Opening needs a little room for the journal's index; SQLite only calls that an I/O error.
    if (NoRoomBeside(path))
        throw DiskFull("Cannot open database \"" + path + "\": " + kNoSpaceMessage + " (" + reason + ")");
    // A wrong key or a foreign file says so itself, whatever the folder.
    const bool cannotWrite = reason == sqlite3_errstr(SQLITE_CANTOPEN) || reason == sqlite3_errstr(SQLITE_READONLY) ||
                             reason == sqlite3_errstr(SQLITE_IOERR);
    if (cannotWrite && !OpensReadOnly())
        if (const auto folder = UnwritableFolderOf(path))
            throw DatabaseError("Cannot open database \"" + path + "\": the folder \"" + *folder +
                                "\" cannot be written, and the database needs to keep its working files there (" +
                                reason + ")");
    throw DatabaseError("Cannot open database \"" + path + "\": " + reason);
}

void Connection::Key(const std::string& path)
{
    const std::string password = ConnectionString::Value(m_connectionString, ConnectionString::kPassword);
    const std::string key = "x'" + DatabaseKeyHex(password) + "'";
    if (sqlite3_key(m_db, key.data(), static_cast<int>(key.size())) != SQLITE_OK)
        FailOpen(path, sqlite3_errmsg(m_db));
    const std::string pageSize = "PRAGMA cipher_page_size = " + std::to_string(m_pageSize);
    if (sqlite3_exec(m_db, pageSize.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        FailOpen(path, sqlite3_errmsg(m_db));
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
}

void Connection::OpenFile(int flags)
{
    const std::string path = DataSource();
    if (path.empty())
        throw DatabaseError("Cannot open database: the connection string names no Data Source");
    const int rc = m_immutable
                       ? sqlite3_open_v2(ImmutableUri(path).c_str(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr)
                       : sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK)
        FailOpen(path, m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc));
    Key(path);
}

bool Connection::OpensReadOnly() const
{
    const auto flags = ModeFlags(ConnectionString::Value(m_connectionString, ConnectionString::kMode));
    return HasFlag(flags, "read") && !HasFlag(flags, "write") && !HasFlag(flags, "readwrite");
}

void Connection::Open()
{
    if (m_db)
        return;
    const std::string path = DataSource();
    const auto flags = ModeFlags(ConnectionString::Value(m_connectionString, ConnectionString::kMode));
    const bool readOnly = m_immutable || OpensReadOnly();
    const bool denyWrite = HasFlag(flags, "share deny write") || HasFlag(flags, "share exclusive");

    // SQLite would make a new, empty database of a missing file; a library file that is
    // not there is an error.
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0)
        FailOpen(path, path.empty() ? "no Data Source" : std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        FailOpen(path, "not a file");

    OpenFile(readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE);
    m_readOnly = readOnly;
    try {
        // The first read of the schema is where a wrong key or a foreign file shows.
        SingleInteger(m_db, "SELECT count(*) FROM sqlite_master", path);
        if (SingleInteger(m_db, "PRAGMA page_count", path) == 0)
            FailOpen(path, "file is empty, not a database");
        if (!readOnly) {
            if (SingleInteger(m_db, "PRAGMA application_id", path) != kArchiveApplicationId) {
                // Settings chosen with bench/DatabaseBench.cpp, where a chunk of 500000
                // bytes is written and committed on its own, as an add does:
                // - The write-ahead log, not a rollback journal. The journal writes the
                //   pages a bulk add appends once instead of twice (1.85 to 2.16 ms of
                //   processor a chunk against 2.04 to 2.06), but waits for two syncs at
                //   every commit (2.8 to 12.9 ms a chunk against 2.8 to 4.1) and keeps
                //   every reader out meanwhile; several threads (the stream server, the
                //   folder monitor) read while an add writes.
                // - synchronous NORMAL: the log is synced at checkpoints only, where FULL
                //   syncs it at every chunk (3.1 to 5.5 ms a chunk against 2.9 to 3.9).
                //   What must outlive a power cut is synced once, whole, instead: an
                //   added item before it is reported, a password change's chunks before
                //   the check values name the new password (FileSync.h).
                // - The engine's own page cache: 40 to 2048 pages of 16 KiB make no
                //   difference (2.01 to 2.11 ms of processor a chunk).
                // The page size is kCipherPageSize; chunk values go through ChunkTable.
                // Another connection may hold the file in the old mode for a while; the
                // file then simply keeps its rollback journal this time.
                if (sqlite3_exec(m_db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr)
                    == SQLITE_OK) {
                    sqlite3_exec(m_db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
                    // The journal and its index stay (the journal emptied) when the last
                    // connection closes: opening again then needs no disk space, so a
                    // library on a full disk can still be read. A journal that grew is
                    // cut back after each checkpoint.
                    int persist = 1;
                    sqlite3_file_control(m_db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
                    sqlite3_exec(m_db, kJournalSizeLimit, nullptr, nullptr, nullptr);
                }
            }
        } else if (denyWrite) {
            // A read transaction held until Close keeps the shared lock, so no other
            // connection can commit a change to the file meanwhile.
            Execute("BEGIN");
            SingleInteger(m_db, "SELECT count(*) FROM sqlite_master", path);
        }
    } catch (const DatabaseError& e) {
        if (!m_db)
            throw;   // FailOpen has said it already
        const int code = sqlite3_errcode(m_db);
        FailOpen(path, code != SQLITE_OK ? std::string(sqlite3_errstr(code)) : std::string(e.what()));
    }
}

void Connection::Create()
{
    if (m_db)
        throw DatabaseError("Cannot create database \"" + DataSource() + "\": the connection is open");
    const std::string path = DataSource();
    if (path.empty())
        throw DatabaseError("Cannot create database: the connection string names no Data Source");
    // O_EXCL makes the file ours alone: never overwrite an existing database.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        throw DatabaseError("Cannot create database \"" + path + "\": " + std::strerror(errno));
    ::close(fd);
    try {
        OpenFile(SQLITE_OPEN_READWRITE);
        // An untouched database stays a zero-length file; write its first page now so
        // the file is a database from the start.
        Execute("BEGIN IMMEDIATE; PRAGMA user_version = 0; COMMIT");
    } catch (...) {
        Close();
        ::unlink(path.c_str());
        throw;
    }
    m_readOnly = false;
}

void Connection::Close()
{
    if (!m_db)
        return;
    // close_v2 lets statements and blob handles still alive (a stream the caller kept)
    // finish first; the handle is released with the last of them.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_readOnly = false;
}

bool Connection::InTransaction() const
{
    return m_db && !sqlite3_get_autocommit(m_db);
}

void Connection::Execute(std::string_view sql)
{
    const std::string path = DataSource();
    if (!m_db)
        throw DatabaseError("Database is not open (database \"" + path + "\", statement \""
                            + std::string(sql) + "\")");
    const char* tail = sql.data();
    const char* const end = sql.data() + sql.size();
    m_rowsAffected = 0;
    while (tail < end) {
        sqlite3_stmt* raw = nullptr;
        const char* next = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, tail, static_cast<int>(end - tail), &raw, &next);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(raw);
            RaiseError(rc, DescribeError(m_db, rc, path, std::string_view(tail, end - tail)));
        }
        const std::string_view piece(tail, static_cast<std::size_t>((next ? next : end) - tail));
        tail = next ? next : end;
        if (!raw)
            continue;   // only blanks or a comment
        int step;
        while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
        }
        if (step != SQLITE_DONE) {
            const std::string message = DescribeError(m_db, step, path, piece);
            sqlite3_finalize(raw);
            RaiseError(step, message);
        }
        sqlite3_finalize(raw);
        m_rowsAffected = sqlite3_changes(m_db);
    }
}

} // namespace velmora::db
