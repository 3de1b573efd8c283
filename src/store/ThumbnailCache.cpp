#include "store/ThumbnailCache.h"

#include "store/Blowfish.h"
#include "store/CheckValue.h"
#include "store/Connection.h"
#include "store/LibraryPassword.h"
#include "store/Statement.h"
#include "store/StoredKey.h"
#include "store/Transaction.h"

#include <sqlite3.h>

#include <cstring>
#include <exception>

namespace velmora {

namespace {

constexpr std::size_t kPngSignatureSize = 8;

bool HasTable(db::Connection& main)
{
    return db::SingleInteger(main.Handle(),
                             "Select count(*) from sqlite_master where type = 'table' and name = 'thumbnail'",
                             main.DataSource()) != 0;
}

std::string ColumnBytes(sqlite3_stmt* statement, int column)
{
    const void* data = sqlite3_column_blob(statement, column);
    const int length = sqlite3_column_bytes(statement, column);
    return data != nullptr ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(length))
                           : std::string();
}

// A row's content: whole cipher blocks holding at least size bytes.
std::optional<std::string> Decrypted(const TBlowfish& cipher, const std::string& data, std::int64_t size)
{
    if (size <= 0 || data.size() % 8 != 0 || static_cast<std::int64_t>(data.size()) < size)
        return std::nullopt;
    std::string plain = DecryptBytes(cipher, data);
    plain.resize(static_cast<std::size_t>(size));
    return plain;
}

bool IsPng(const std::string& bytes)
{
    return bytes.size() >= kPngSignatureSize && std::memcmp(bytes.data(), kPngSignature, kPngSignatureSize) == 0;
}

} // namespace

void AddThumbnailTable(db::Connection& main)
{
    if (HasTable(main))
        return;
    db::Transaction transaction(main);
    main.Execute("CREATE TABLE IF NOT EXISTS thumbnail ("
                 "th_record INTEGER PRIMARY KEY, th_keygen INTEGER NOT NULL, "
                 "th_size INTEGER NOT NULL, th_data BLOB NOT NULL);"
                 "CREATE TRIGGER IF NOT EXISTS Record_unthumb AFTER DELETE ON Record "
                 "BEGIN DELETE FROM thumbnail WHERE th_record = OLD.rec_ident; END");
    transaction.Commit();
}

void DropStaleThumbnails(db::Connection& main)
{
    if (!HasTable(main))
        return;
    const std::string stale = "from thumbnail where th_keygen <> (Select opt_keygen from options limit 1) "
                              "and not exists (Select 1 from keychange)";
    if (db::SingleInteger(main.Handle(), "Select count(*) " + stale, main.DataSource()) != 0)
        main.Execute("Delete " + stale);
}

std::optional<std::string> FindThumbnail(db::Connection& main, int recordIdent)
{
    if (!HasTable(main))
        return std::nullopt;
    int generation = 0;
    std::int64_t size = 0;
    std::string data;
    {
        db::Statement find(main.Handle(), "Select th_keygen, th_size, th_data from thumbnail where th_record = ?",
                           main.DataSource());
        find.BindInt64(1, recordIdent);
        if (!find.Step())
            return std::nullopt;
        generation = sqlite3_column_int(find.Handle(), 0);
        size = sqlite3_column_int64(find.Handle(), 1);
        data = ColumnBytes(find.Handle(), 2);
    }
    if (!CurrentLibraryKey().Knows(generation))
        RefreshLibraryKey(main);
    const LibraryKey key = CurrentLibraryKey();
    if (key.password.empty() || !key.Knows(generation))
        return std::nullopt;
    return Decrypted(TBlowfish(key.PasswordFor(generation)), data, size);
}

bool KeepThumbnail(db::Connection& main, int recordIdent, const std::string& png)
{
    const LibraryKey key = CurrentLibraryKey();
    if (key.password.empty() || png.empty() || !HasTable(main))
        return false;
    const std::string data = EncryptToBytes(key.password, png);
    // One statement, so one commit: the checks and the write cannot be split by a
    // delete or by the transaction that starts a password change.
    db::Statement keep(main.Handle(),
                       "Insert or replace into thumbnail (th_record, th_keygen, th_size, th_data) "
                       "Select ?1, ?2, ?3, ?4 "
                       "where exists (Select 1 from Record where rec_ident = ?1) "
                       "and ?2 = coalesce((Select max(kc_generation) from keychange), "
                       "(Select opt_keygen from options limit 1))",
                       main.DataSource());
    keep.BindInt64(1, recordIdent);
    keep.BindInt64(2, key.generation);
    keep.BindInt64(3, static_cast<std::int64_t>(png.size()));
    keep.BindBlob(4, data.data(), static_cast<std::int64_t>(data.size()));
    keep.Run();
    return sqlite3_changes(main.Handle()) > 0;
}

void ReencryptThumbnails(db::Connection& main, const std::string& oldPassword, int oldGeneration,
                         const std::string& newPassword, int newGeneration)
{
    if (!HasTable(main))
        return;
    DropThumbnailsNotUnder(main, oldGeneration);
    const TBlowfish oldCipher(oldPassword);
    const TBlowfish newCipher(newPassword);
    std::vector<int> records = CachedThumbnails(main);
    db::Statement read(main.Handle(), "Select th_size, th_data from thumbnail where th_record = ?", main.DataSource());
    db::Statement write(main.Handle(), "Update thumbnail set th_keygen = ?, th_data = ? where th_record = ?",
                        main.DataSource());
    db::Statement drop(main.Handle(), "Delete from thumbnail where th_record = ?", main.DataSource());
    for (int record : records) {
        read.Reset();
        read.BindInt64(1, record);
        if (!read.Step())
            continue;
        const std::optional<std::string> plain =
            Decrypted(oldCipher, ColumnBytes(read.Handle(), 1), sqlite3_column_int64(read.Handle(), 0));
        read.Reset();
        if (!plain) {
            drop.Reset();
            drop.BindInt64(1, record);
            drop.Run();
            continue;
        }
        const std::string data = EncryptToBytes(newCipher, *plain);
        write.Reset();
        write.BindInt64(1, newGeneration);
        write.BindBlob(2, data.data(), static_cast<std::int64_t>(data.size()));
        write.BindInt64(3, record);
        write.Run();
    }
}

void DropThumbnailsNotUnder(db::Connection& main, int generation)
{
    if (!HasTable(main))
        return;
    db::Statement drop(main.Handle(), "Delete from thumbnail where th_keygen <> ?", main.DataSource());
    drop.BindInt64(1, generation);
    drop.Run();
}

std::vector<int> CachedThumbnails(db::Connection& main)
{
    std::vector<int> records;
    if (!HasTable(main))
        return records;
    db::Statement all(main.Handle(), "Select th_record from thumbnail order by th_record", main.DataSource());
    while (all.Step())
        records.push_back(sqlite3_column_int(all.Handle(), 0));
    return records;
}

std::vector<std::string> CheckThumbnails(db::Connection& main)
{
    std::vector<std::string> problems;
    if (!HasTable(main))
        return problems;
    const bool changing =
        db::SingleInteger(main.Handle(), "Select count(*) from keychange", main.DataSource()) != 0;
    const auto libraryGeneration = static_cast<int>(
        db::SingleInteger(main.Handle(), "Select opt_keygen from options limit 1", main.DataSource()));
    const LibraryKey key = CurrentLibraryKey();
    db::Statement rows(main.Handle(),
                       "Select th_record, th_keygen, th_size, th_data, "
                       "exists (Select 1 from Record where rec_ident = th_record) from thumbnail order by th_record",
                       main.DataSource());
    while (rows.Step()) {
        const std::string name = "thumbnail of item " + std::to_string(sqlite3_column_int(rows.Handle(), 0));
        const int generation = sqlite3_column_int(rows.Handle(), 1);
        if (sqlite3_column_int(rows.Handle(), 4) == 0) {
            problems.push_back(name + ": the item does not exist");
            continue;
        }
        if (!changing && generation != libraryGeneration) {
            problems.push_back(name + ": is under key generation " + std::to_string(generation) +
                               ", not the library's " + std::to_string(libraryGeneration));
            continue;
        }
        const std::string data = ColumnBytes(rows.Handle(), 3);
        const std::int64_t size = sqlite3_column_int64(rows.Handle(), 2);
        if (size <= 0 || data.size() % 8 != 0 || static_cast<std::int64_t>(data.size()) < size) {
            problems.push_back(name + ": holds " + std::to_string(data.size()) + " bytes for a picture of " +
                               std::to_string(size));
            continue;
        }
        if (key.password.empty() || !key.Knows(generation))
            continue;
        const std::optional<std::string> plain = Decrypted(TBlowfish(key.PasswordFor(generation)), data, size);
        if (!plain || !IsPng(*plain))
            problems.push_back(name + ": does not decrypt to a picture under the library key");
    }
    return problems;
}

} // namespace velmora
