#include "store/DatabaseTestSupport.h"

#include "store/DatabaseError.h"
#include "store/Query.h"
#include "store/TableRow.h"
#include "store/Transaction.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <thread>
#include <vector>

using namespace velmora;
using namespace velmora::test;
using db::Connection;
using db::DatabaseError;
using db::Query;
using db::Transaction;
using ::testing::HasSubstr;

namespace {

std::string OpenError(const std::string& connectionString)
{
    Connection conn(connectionString);
    try {
        conn.Open();
    } catch (const DatabaseError& e) {
        EXPECT_FALSE(conn.Connected());
        return e.what();
    }
    return {};
}

std::string JournalMode(Connection& conn)
{
    Query q(conn, "PRAGMA journal_mode");
    return q.AsString("journal_mode");
}

std::string RunShell(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

} // namespace

TEST(ConnectionTest, OpensTheShippedLibrary)
{
    TempDir dir;
    const auto file = CopyShippedFile(ShippedLibrary(), dir / "tndb.mdb");
    Connection conn(SharedConnectionString(file));
    EXPECT_FALSE(conn.Connected());
    conn.Open();
    EXPECT_TRUE(conn.Connected());
    EXPECT_FALSE(conn.ReadOnly());
    EXPECT_EQ(conn.DataSource(), file.string());
    conn.Open();   // a second Open changes nothing
    Query options(conn, "Select * from options");
    EXPECT_EQ(options.RecordCount(), 1);
    EXPECT_TRUE(options.IsNull("opt_pass"));
    EXPECT_EQ(options.AsInteger("opt_currentStore"), 0x50001);
    EXPECT_EQ(options.AsInteger("opt_currentStoreSize"), 0xFFFFFF);
    EXPECT_TRUE(options.AsBoolean("opt_enablethumb"));
    EXPECT_EQ(options.AsInteger("opt_thumbsize"), 1);
    conn.Close();
    EXPECT_FALSE(conn.Connected());
}

TEST(ConnectionTest, UnopenableFilesRaiseAnErrorNamingTheFile)
{
    TempDir dir;
    const auto foreign = dir / "foreign.mdb";
    WriteFile(foreign, PatternBytes(8192, 7));
    const auto empty = dir / "empty.mdb";
    WriteFile(empty, "");
    // A database keyed with another password.
    const auto otherKey = dir / "otherkey.mdb";
    {
        Connection maker(db::ConnectionString::Build(otherKey.string(), db::kShareDenyNone, "0therPassw0rd99"));
        maker.Create();
        maker.Execute("CREATE TABLE t (x INTEGER); INSERT INTO t VALUES (1)");
    }
    struct Case {
        std::filesystem::path file;
        const char* reason;
    };
    for (const auto& c : {Case{dir / "missing.mdb", "No such file"}, Case{foreign, "not a database"},
                          Case{empty, "not a database"}, Case{otherKey, "not a database"}}) {
        for (const auto& cs : {SharedConnectionString(c.file), ImportConnectionString(c.file)}) {
            const std::string error = OpenError(cs);
            EXPECT_THAT(error, HasSubstr("Cannot open database \"" + c.file.string() + "\"")) << error;
            EXPECT_THAT(error, HasSubstr(c.reason)) << error;
        }
    }
    // Opening never makes a database of a missing file.
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.mdb"));
    // The foreign file is left as it was.
    EXPECT_EQ(ReadFile(foreign), PatternBytes(8192, 7));
}

TEST(ConnectionTest, LibraryFilesAreUnreadableWithoutTheKey)
{
    TempDir dir;
    const auto file = CopyShippedFile(ShippedLibrary(), dir / "tndb.mdb");
    const std::string out = RunShell("sqlite3 '" + file.string() + "' .tables 2>&1");
    EXPECT_THAT(out, HasSubstr("not a database"));
    for (const char* table : {"Record", "Category", "options", "space"})
        EXPECT_THAT(out, ::testing::Not(HasSubstr(table)));
    // No plain text of the schema appears in the file either.
    EXPECT_THAT(ReadFile(file), ::testing::Not(HasSubstr("rec_description")));
}

TEST(ConnectionTest, CreateMakesANewKeyedFileButNeverReplacesOne)
{
    TempDir dir;
    const auto file = dir / "new.mdb";
    {
        Connection conn(SharedConnectionString(file));
        conn.Create();
        EXPECT_TRUE(conn.Connected());
        conn.Execute("CREATE TABLE t (x INTEGER)");
    }
    Connection again(SharedConnectionString(file));
    again.Open();
    EXPECT_EQ(Query(again, "Select * from t").RecordCount(), 0);
    again.Close();

    Connection twice(SharedConnectionString(file));
    try {
        twice.Create();
        FAIL() << "Create replaced an existing file";
    } catch (const DatabaseError& e) {
        EXPECT_THAT(e.what(), HasSubstr(file.string()));
    }
    Connection check(SharedConnectionString(file));
    check.Open();
    EXPECT_TRUE(Query(check, "Select * from t").HasField("x"));
}

TEST(ConnectionTest, ExecuteCountsRowsAndReportsTheStatement)
{
    TempDir dir;
    Connection conn(SharedConnectionString(CopyShippedFile(ShippedLibrary(), dir / "tndb.mdb")));
    conn.Open();
    conn.Execute("Insert into Category (cat_parent, cat_description) values (0, 'a'); "
                 "Insert into Category (cat_parent, cat_description) values (0, 'b')");
    conn.Execute("Update Category set cat_description = 'It''s' where cat_parent = 0");
    EXPECT_EQ(conn.RowsAffected(), 2);
    try {
        conn.Execute("Update NoSuchTable set x = 1");
        FAIL() << "no error";
    } catch (const DatabaseError& e) {
        EXPECT_THAT(e.what(), HasSubstr("no such table: NoSuchTable"));
        EXPECT_THAT(e.what(), HasSubstr("Update NoSuchTable set x = 1"));
        EXPECT_THAT(e.what(), HasSubstr(conn.DataSource()));
    }
    conn.Close();
    EXPECT_THROW(conn.Execute("Delete from Category"), DatabaseError);
}

TEST(ConnectionTest, SharedLibraryUsesWriteAheadLogButArchivesKeepTheirRollbackJournal)
{
    TempDir dir;
    Connection library(SharedConnectionString(CopyShippedFile(ShippedLibrary(), dir / "tndb.mdb")));
    library.Open();
    EXPECT_EQ(JournalMode(library), "wal");

    Connection store(SharedConnectionString(CopyShippedFile(StoreTemplate(), dir / "tnstore1.mdb")));
    store.Open();
    EXPECT_EQ(JournalMode(store), "wal");

    Connection archive(SharedConnectionString(CopyShippedFile(ArchiveTemplate(), dir / "out.eta")));
    archive.Open();
    EXPECT_EQ(JournalMode(archive), "delete");
    archive.Execute("Insert into record (rec_size, rec_tnorigname) values (3, 'a.jpg')");
    archive.Close();
    EXPECT_FALSE(std::filesystem::exists(dir / "out.eta-wal"));
}

TEST(ConnectionTest, ImportModeReadsButRefusesWritesAndKeepsWritersOut)
{
    TempDir dir;
    const auto file = CopyShippedFile(ArchiveTemplate(), dir / "in.eta");
    {
        Connection writer(SharedConnectionString(file));
        writer.Open();
        writer.Execute("Insert into record (rec_size, rec_tnorigname) values (10, 'a.jpg')");
    }
    Connection import(ImportConnectionString(file));
    import.Open();
    EXPECT_TRUE(import.ReadOnly());
    {
        Query rows(import, "Select * From record");
        ASSERT_FALSE(rows.Eof());
        EXPECT_EQ(rows.AsString("rec_tnorigname"), "a.jpg");
        EXPECT_THROW(db::TableRow("record").Set("rec_size", 2).Update(import, "1 = 1"), DatabaseError)
            << "a read-only connection changes nothing";
    }
    EXPECT_THROW(import.Execute("Insert into record (rec_size) values (1)"), DatabaseError);
    EXPECT_THROW(import.Execute("Update Options set opt_pass = 'x'"), DatabaseError);
    EXPECT_THROW(Transaction t(import), DatabaseError);

    // While the import holds the archive, nobody else can change it.
    Connection other(SharedConnectionString(file));
    other.Open();
    sqlite3_busy_timeout(other.Handle(), 50);
    EXPECT_THROW(other.Execute("Insert into record (rec_size) values (2)"), DatabaseError);

    import.Close();
    other.Execute("Insert into record (rec_size) values (2)");
    EXPECT_EQ(Query(other, "Select * From record").RecordCount(), 2);
}

TEST(ConnectionTest, TransactionCommitsOrRollsBack)
{
    TempDir dir;
    Connection conn(SharedConnectionString(CopyShippedFile(ShippedLibrary(), dir / "tndb.mdb")));
    conn.Open();
    {
        Transaction t(conn);
        EXPECT_TRUE(conn.InTransaction());
        conn.Execute("Insert into space (st_num, st_freespace) values (1, 100)");
    }
    EXPECT_FALSE(conn.InTransaction());
    EXPECT_EQ(Query(conn, "Select * from [space]").RecordCount(), 0);
    {
        Transaction t(conn);
        conn.Execute("Insert into space (st_num, st_freespace) values (1, 100)");
        t.Commit();
    }
    EXPECT_EQ(Query(conn, "Select * from [space]").RecordCount(), 1);
}

TEST(ConnectionTest, ConcurrentWritersOnSeveralThreadsAllSucceed)
{
    TempDir dir;
    const auto file = CopyShippedFile(ShippedLibrary(), dir / "tndb.mdb");
    constexpr int kThreads = 6;
    constexpr int kRowsEach = 40;
    std::atomic<int> failures{0};
    std::vector<std::string> errors(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            try {
                Connection conn(SharedConnectionString(file));
                conn.Open();
                for (int i = 0; i < kRowsEach; ++i) {
                    // Read, then write from what was read: the pattern that fails with
                    // "database is locked" when the write lock is taken late.
                    Transaction tx(conn);
                    std::int64_t next = 0;
                    {
                        Query last(conn, "Select max(st_num) AS top from [space]");
                        next = last.AsInteger("top") + 1;
                    }
                    conn.Execute("Insert into space (st_num, st_freespace) values (" + std::to_string(next)
                                 + ", 1887436800)");
                    db::TableRow add("Record");
                    add.Set("rec_description", "thread " + std::to_string(t)).Set("rec_size", i);
                    add.Insert(conn);
                    tx.Commit();
                }
            } catch (const std::exception& e) {
                ++failures;
                errors[static_cast<std::size_t>(t)] = e.what();
            }
        });
    }
    for (auto& th : threads)
        th.join();
    for (const auto& e : errors)
        EXPECT_EQ(e, "");
    ASSERT_EQ(failures.load(), 0);

    Connection check(SharedConnectionString(file));
    check.Open();
    EXPECT_EQ(Query(check, "Select * from Record").RecordCount(), kThreads * kRowsEach);
    // Every store number booked exactly once, 1..N without gaps.
    Query nums(check, "Select count(distinct st_num) AS n, min(st_num) AS lo, max(st_num) AS hi from [space]");
    EXPECT_EQ(nums.AsInteger("n"), kThreads * kRowsEach);
    EXPECT_EQ(nums.AsInteger("lo"), 1);
    EXPECT_EQ(nums.AsInteger("hi"), kThreads * kRowsEach);
}
