#include "support/CraftedArchives.h"
#include "support/TestSupport.h"

#include "store/CheckValue.h"
#include "store/Connection.h"
#include "store/DatabaseKey.h"
#include "store/LibraryFiles.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

namespace velmora::test {

namespace {

// Copies the template to path and runs sql on it through the bare engine, keyed as
// every archive is.
void Craft(const std::filesystem::path& path, const std::string& archivePassword, const std::string& sql)
{
    std::filesystem::copy_file(BinDir() / kArchiveTemplateName, path, std::filesystem::copy_options::overwrite_existing);
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    const std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close_v2);
    if (rc != SQLITE_OK)
        throw std::runtime_error("cannot open " + path.string());
    const std::string key = "x'" + db::DatabaseKeyHex(GetDatabasePassword()) + "'";
    sqlite3_key(db.get(), key.data(), static_cast<int>(key.size()));
    const std::string statements = "PRAGMA cipher_page_size = " + std::to_string(db::Connection::kCipherPageSize) +
                                   "; UPDATE Options SET opt_pass = '" + CheckValueFor(archivePassword) + "'; " + sql;
    char* error = nullptr;
    if (sqlite3_exec(db.get(), statements.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("cannot craft " + path.string() + ": " + message);
    }
}

} // namespace

void MakeSchemaCrashArchive(const std::filesystem::path& path, const std::string& archivePassword)
{
    // The connection's schema in memory stays the old one: it is closed unread.
    Craft(path, archivePassword,
          "PRAGMA writable_schema = ON;"
          "UPDATE sqlite_master SET sql = 'CREATE TABLE zz AS SELECT 1' WHERE name = 'record';");
}

void MakeEndlessViewArchive(const std::filesystem::path& path, const std::string& archivePassword)
{
    Craft(path, archivePassword,
          "DROP TABLE record;"
          "CREATE VIEW record AS WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) "
          "SELECT i AS rec_size, 'endless.jpg' AS rec_tnorigname, 'endless' AS rec_description, "
          "NULL AS rec_notes, NULL AS rec_date_added, zeroblob((i + 7) / 8 * 8) AS rec_object FROM n;");
}

} // namespace velmora::test
