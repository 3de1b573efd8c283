#include "archive/ArchiveWriterProbe.h"

#include "store/Connection.h"
#include "store/DatabaseKey.h"
#include "store/LibraryFiles.h"

#include <sqlite3.h>

#include <memory>
#include <string>
#include <sys/stat.h>

namespace velmora {

bool ArchiveHeldByWriter(const std::string& path)
{
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    sqlite3* raw = nullptr;
    // Without SQLITE_OPEN_CREATE: a file that vanished meanwhile is not made anew.
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close_v2);
    if (rc != SQLITE_OK)
        return false;
    // Not db::Connection: its open switches a database that is no archive to the
    // write-ahead journal, and it waits for locks; this probe must change nothing and
    // answer at once.
    const std::string key = "x'" + db::DatabaseKeyHex(GetDatabasePassword()) + "'";
    if (sqlite3_key(db.get(), key.data(), static_cast<int>(key.size())) != SQLITE_OK)
        return false;
    const std::string pageSize = "PRAGMA cipher_page_size = " + std::to_string(db::Connection::kCipherPageSize);
    if (sqlite3_exec(db.get(), pageSize.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    sqlite3_busy_timeout(db.get(), 0);
    // BEGIN IMMEDIATE takes the writer's lock without writing a byte; it is refused
    // exactly when another connection holds that lock (or is committing).
    const int begin = sqlite3_exec(db.get(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (begin == SQLITE_OK) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    const int code = sqlite3_errcode(db.get()) & 0xFF;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

} // namespace velmora
