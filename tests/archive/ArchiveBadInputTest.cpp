#include "archive/ArchiveFixture.h"

#include "archive/ArchiveError.h"
#include "store/Transaction.h"
#include "support/CraftedArchives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Reason = ArchiveError::Reason;

class ArchiveBadInputTest : public ArchiveFixture {
protected:
    void SetUp() override
    {
        ArchiveFixture::SetUp();
        AddItem("0123456789", "ten.jpg");
        AddItem(PatternBytes(1000001, 5), "big.mpg");
        AddItem("abc", "last.jpg");
        Export({1, 2, 3}, good);
        UseTarget();
    }

    // A database carrying the given database password with the given tables.
    static void MakeDatabase(const std::string& path, const std::string& databasePassword, const std::string& sql)
    {
        db::Connection c(db::ConnectionString::Build(path, db::kShareDenyNone, databasePassword));
        c.Create();
        c.Execute(sql);
    }
    std::string Copy(const std::string& name)
    {
        const std::string path = ArchivePath(name);
        fs::copy_file(good, path);
        return path;
    }

    const std::string good = ArchivePath("good.eta");
};

constexpr const char* kArchiveTables =
    "CREATE TABLE Options (opt_pass TEXT);"
    "CREATE TABLE record (rec_size INTEGER, rec_tnorigname TEXT, rec_description TEXT, rec_notes TEXT,"
    " rec_date_added TEXT, rec_object BLOB);";

TEST_F(ArchiveBadInputTest, EachIsRefusedWhenOpenedAndAddsNothing)
{
    struct Case {
        const char* what;
        Reason reason;
        // Makes the archive; what it returns is held while the archive is opened.
        std::function<std::shared_ptr<void>(const std::string& path)> make;
    };
    auto changed = [this](const char* sql) {
        return [this, sql](const std::string& path) -> std::shared_ptr<void> {
            fs::copy_file(good, path);
            ArchiveExecute(path, sql);
            return nullptr;
        };
    };
    auto truncated = [this](std::int64_t cut) {
        return [this, cut](const std::string& path) -> std::shared_ptr<void> {
            fs::copy_file(good, path);
            fs::resize_file(path, fs::file_size(path) - static_cast<std::uintmax_t>(cut));
            return nullptr;
        };
    };
    const std::vector<Case> cases{
        {"missing file", Reason::NotAnArchive, [](const std::string&) { return nullptr; }},
        {"empty file", Reason::NotAnArchive,
         [](const std::string& path) { WriteFile(path, ""); return nullptr; }},
        {"text file", Reason::NotAnArchive,
         [](const std::string& path) { WriteFile(path, std::string(70000, 't')); return nullptr; }},
        {"another database password", Reason::NotAnArchive,
         [](const std::string& path) {
             MakeDatabase(path, "not the program's", std::string(kArchiveTables) +
                                                         "INSERT INTO Options VALUES ('AAAA');");
             return nullptr;
         }},
        {"a library's main database", Reason::MissingSchema,
         [](const std::string& path) { fs::copy_file(BinDir() / "shipped" / kMainDatabaseName, path); return nullptr; }},
        {"no record table", Reason::MissingSchema,
         [](const std::string& path) {
             MakeDatabase(path, GetDatabasePassword(), "CREATE TABLE Options (opt_pass TEXT);"
                                                       "INSERT INTO Options VALUES ('AAAA');");
             return nullptr;
         }},
        {"no rec_object column", Reason::MissingSchema,
         [](const std::string& path) {
             MakeDatabase(path, GetDatabasePassword(),
                          "CREATE TABLE Options (opt_pass TEXT); INSERT INTO Options VALUES ('AAAA');"
                          "CREATE TABLE record (rec_size INTEGER, rec_tnorigname TEXT, rec_description TEXT);");
             return nullptr;
         }},
        // Exactly the template's objects: anything else could hold a trap for the parser.
        {"an index", Reason::MissingSchema, changed("CREATE INDEX by_size ON record (rec_size)")},
        {"a trigger", Reason::MissingSchema,
         changed("CREATE TRIGGER noisy AFTER UPDATE ON Options BEGIN SELECT 1; END")},
        {"a further table", Reason::MissingSchema, changed("CREATE TABLE extra (x)")},
        {"a further column", Reason::MissingSchema, changed("ALTER TABLE record ADD COLUMN rec_more TEXT")},
        {"a view beside the tables", Reason::MissingSchema, changed("CREATE VIEW sizes AS SELECT rec_size FROM record")},
        {"record as an endless view", Reason::MissingSchema,
         [](const std::string& path) { MakeEndlessViewArchive(path, kArchivePassword); return nullptr; }},
        {"a schema row the parser crashes on", Reason::Unreadable,
         [](const std::string& path) { MakeSchemaCrashArchive(path, kArchivePassword); return nullptr; }},
        {"no check value", Reason::BadContent, changed("UPDATE Options SET opt_pass = NULL")},
        {"no Options row", Reason::BadContent, changed("DELETE FROM Options")},
        {"rec_object shorter than rec_size", Reason::BadContent,
         changed("UPDATE record SET rec_size = 17 WHERE rec_tnorigname = 'ten.jpg'")},
        {"rec_object longer than rec_size", Reason::BadContent,
         changed("UPDATE record SET rec_size = 999993 WHERE rec_tnorigname = 'big.mpg'")},
        {"last row bad", Reason::BadContent, changed("UPDATE record SET rec_size = 0 WHERE rec_tnorigname = 'last.jpg'")},
        {"rec_size not a number", Reason::BadContent,
         changed("UPDATE record SET rec_size = 'ten' WHERE rec_tnorigname = 'ten.jpg'")},
        {"rec_size missing", Reason::BadContent,
         changed("UPDATE record SET rec_size = NULL WHERE rec_tnorigname = 'ten.jpg'")},
        {"rec_size negative", Reason::BadContent,
         changed("UPDATE record SET rec_size = -3, rec_object = NULL WHERE rec_tnorigname = 'ten.jpg'")},
        {"rec_object as text", Reason::BadContent,
         changed("UPDATE record SET rec_object = '0123456789abcdef' WHERE rec_tnorigname = 'ten.jpg'")},
        {"truncated by half", Reason::Damaged, truncated(static_cast<std::int64_t>(fs::file_size(good) / 2))},
        {"truncated inside the last page", Reason::Damaged, truncated(100)},
        {"a page damaged in the middle", Reason::Damaged,
         [this](const std::string& path) -> std::shared_ptr<void> {
             std::string bytes = ReadFile(good);
             bytes.replace(bytes.size() / 2, 8, "XXXXXXXX");
             WriteFile(path, bytes);
             return nullptr;
         }},
        {"held by another writer", Reason::Locked,
         [this](const std::string& path) -> std::shared_ptr<void> {
             fs::copy_file(good, path);
             auto writer = std::shared_ptr<db::Connection>(OpenForWriting(path));
             auto writing = std::make_shared<db::Transaction>(*writer);
             writer->Execute("UPDATE record SET rec_description = 'half-way'");
             // The transaction goes before its connection.
             return std::shared_ptr<void>(new std::pair(writer, writing), [](void* p) {
                 auto* held = static_cast<std::pair<std::shared_ptr<db::Connection>, std::shared_ptr<db::Transaction>>*>(p);
                 held->second.reset();
                 delete held;
             });
         }},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = ArchivePath("bad" + std::to_string(++n) + ".eta");
        const auto held = c.make(path);
        try {
            TransferArchive archive(path);
            ADD_FAILURE() << "opened";
            ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress);
        } catch (const ArchiveError& refused) {
            EXPECT_EQ(refused.reason(), c.reason) << refused.what();
            EXPECT_NE(std::string(refused.what()).find(path), std::string::npos) << refused.what();
        }
        EXPECT_EQ(Scalar("select count(*) from Record"), 0);
    }
    EXPECT_TRUE(importProgress.calls.empty());

    // The archive they were made from is sound.
    EXPECT_EQ(Import(good), 3);
    EXPECT_EQ(ReadItem(2), PatternBytes(1000001, 5));
}

TEST_F(ArchiveBadInputTest, AnArchiveThatIsRefusedIsNotChangedByTheAttempt)
{
    const std::string path = Copy("short.eta");
    ArchiveExecute(path, "UPDATE record SET rec_size = 17 WHERE rec_tnorigname = 'ten.jpg'");
    const std::string before = ReadFile(path);
    EXPECT_THROW(TransferArchive archive(path), ArchiveError);
    EXPECT_EQ(ReadFile(path), before);
}

} // namespace
} // namespace velmora::test
