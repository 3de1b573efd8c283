#include "archive/ArchiveFixture.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveNames.h"
#include "archive/ArchiveTemplate.h"
#include "store/Blowfish.h"
#include "store/CheckValue.h"
#include "store/DatabaseError.h"
#include "store/Transaction.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class ArchiveExportTest : public ArchiveFixture {
protected:
    void AddThree()
    {
        empty = AddItem("", "empty.jpg");
        ten = AddItem("0123456789", "ten.jpg");
        big = AddItem(PatternBytes(1000001, 7), "big.mpg");
        ExecuteMain(SqlFormat("Update Record set rec_notes = 'kept note', rec_description = 'Ten bytes' "
                              "where rec_ident = %d",
                              ten));
        // Added long ago: the archive carries the export's date instead.
        ExecuteMain("Update Record set rec_date_added = '2001-02-03'");
    }

    static std::string Column(const std::string& path, int row, const std::string& column)
    {
        auto c = OpenForWriting(path);
        db::Query q(*c, SqlFormat("Select * from record where _rowid_ = %d", row));
        return q.IsNull(column) ? "<null>" : q.AsString(column);
    }
    static std::string Blob(const std::string& path, int row)
    {
        auto c = OpenForWriting(path);
        db::Query q(*c, SqlFormat("Select * from record where _rowid_ = %d", row));
        auto blob = q.OpenReadStream("rec_object");
        std::string bytes(static_cast<std::size_t>(blob->Size()), '\0');
        blob->ReadBuffer(bytes.data(), blob->Size());
        return bytes;
    }

    int empty = 0, ten = 0, big = 0;
};

TEST_F(ArchiveExportTest, WritesEachItemAsARowUnderTheArchivePassword)
{
    AddThree();
    const std::string path = ArchivePath();
    const ExportResult result = Export({empty, ten, big}, path);
    EXPECT_EQ(result.exported, 3);
    EXPECT_FALSE(result.cancelled);

    EXPECT_EQ(ArchiveScalar(path, "select count(*) from Options"), 1);
    const std::string check = [&] {
        auto c = OpenForWriting(path);
        db::Query q(*c, "select * from Options");
        return q.AsString("opt_pass");
    }();
    EXPECT_EQ(check.size(), 32u);
    EXPECT_EQ(check.find('='), std::string::npos);
    EXPECT_EQ(check, CheckValueFor(std::string(kArchivePassword)));

    EXPECT_EQ(ArchiveScalar(path, "select count(*) from record"), 3);
    const struct {
        const char* name;
        const char* description;
        const char* notes;
        const char* size;
        std::int64_t blobLength;
    } rows[] = {
        {"empty.jpg", "empty.jpg", "<null>", "0", 0},
        {"ten.jpg", "Ten bytes", "kept note", "10", 16},
        {"big.mpg", "big.mpg", "<null>", "1000001", 1000008},
    };
    for (int row = 1; row <= 3; ++row) {
        const auto& want = rows[row - 1];
        SCOPED_TRACE(want.name);
        EXPECT_EQ(Column(path, row, "rec_tnorigname"), want.name);
        EXPECT_EQ(Column(path, row, "rec_description"), want.description);
        EXPECT_EQ(Column(path, row, "rec_notes"), want.notes);
        EXPECT_EQ(Column(path, row, "rec_size"), want.size);
        EXPECT_EQ(Column(path, row, "rec_date_added"), Today());
        EXPECT_EQ(ArchiveScalar(path, SqlFormat("select coalesce(length(rec_object), 0) from record "
                                                "where _rowid_ = %d",
                                                row)),
                  want.blobLength);
    }
    // The content is the item under the archive key, zero-filled to whole blocks.
    EXPECT_EQ(DecryptBytes(std::string(kArchivePassword), Blob(path, 2)), std::string("0123456789") + std::string(6, '\0'));
    const std::string bigPlain = DecryptBytes(std::string(kArchivePassword), Blob(path, 3));
    EXPECT_EQ(bigPlain.substr(0, 1000001), PatternBytes(1000001, 7));
    EXPECT_EQ(bigPlain.substr(1000001), std::string(7, '\0'));

    const std::vector<std::string> calls{"show Exporting Items nocancel", "total Please Wait 3", "item empty.jpg 1",
                                         "item ten.jpg 1", "item big.mpg 3", "hide"};
    EXPECT_EQ(exportProgress.calls, calls);
    EXPECT_EQ(exportProgress.steps, 3);
    EXPECT_EQ(exportProgress.cancelChecks, 0) << "a category export cannot be cancelled";

    // Nothing in the library changes.
    EXPECT_EQ(Scalar("select count(*) from Record"), 3);
    EXPECT_EQ(Scalar("select count(*) from Record where rec_date_added = '2001-02-03'"), 3);
}

TEST_F(ArchiveExportTest, CancelStopsBeforeTheNextItemAndKeepsWhatWasWritten)
{
    AddThree();
    exportProgress.cancelAfterChecks = 1;
    const ExportResult result = Export({empty, ten, big}, ArchivePath(), true);
    EXPECT_EQ(result.exported, 1);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(ArchiveScalar(ArchivePath(), "select count(*) from record"), 1);
    EXPECT_EQ(exportProgress.calls.front(), "show Exporting Items");
    EXPECT_EQ(exportProgress.calls.back(), "hide");
}

TEST_F(ArchiveExportTest, CancelPressedWhileAnItemIsOnItsWayWritesThatItemWhole)
{
    AddThree();
    exportProgress.cancelAfterItemSteps = 1;
    const int threads = ThreadCount();
    const ExportResult result = Export({big, ten}, ArchivePath(), true);
    EXPECT_EQ(ThreadCountSettledAt(threads), threads);
    EXPECT_EQ(result.exported, 1);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(exportProgress.allItemSteps, 3);
    EXPECT_EQ(ArchiveScalar(ArchivePath(), "select count(*) from record"), 1);
    EXPECT_EQ(DecryptBytes(std::string(kArchivePassword), Blob(ArchivePath(), 1)),
              PatternBytes(1000001, 7) + std::string(7, '\0'));
}

TEST_F(ArchiveExportTest, TheTargetIsReplacedWholeAndItsNameKeptAsGiven)
{
    AddThree();
    const std::string path = ArchivePath("photos");
    WriteFile(path, std::string(100000, 'x'));
    Export({empty, ten, big}, path);
    Export({ten, ten}, path);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path + ".eta"));
    EXPECT_EQ(ArchiveScalar(path, "select count(*) from record"), 2);
    EXPECT_EQ(ArchiveScalar(path, "select count(*) from record where rec_tnorigname = 'ten.jpg'"), 2);
    // No temporary copy is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(files.path()), fs::directory_iterator()), 1);
}

TEST_F(ArchiveExportTest, RefusalsComeBeforeAnyFileIsWritten)
{
    AddThree();
    const std::string templateBytes = ReadFile(TemplateArchivePath());
    // Under a length limit lowered to a little over a megabyte, a description of 200
    // bytes leaves the row no room for a piece of content of the shortest length.
    const int wordy = AddItem("tiny", "wordy.mpg");
    ExecuteMain(SqlFormat("Update Record set rec_description = '%s' where rec_ident = %d",
                          std::string(200, 'w').c_str(), wordy));
    const int limit = sqlite3_limit(mainConn().Handle(), SQLITE_LIMIT_LENGTH, (1 << 20) + 1024 + 100);
    const struct {
        const char* what;
        std::string path;
        std::string password;
        std::vector<int> items;
        std::optional<ArchiveError::Reason> reason;
    } cases[] = {
        {"template", TemplateArchivePath(), kArchivePassword, {ten}, ArchiveError::Reason::RefusedTarget},
        {"template in capitals", GetAppDir() + "/TEMPLATE.TNT", kArchivePassword, {ten},
         ArchiveError::Reason::RefusedTarget},
        {"the library's main database", JoinPath(GetDataDir(), kMainDatabaseName), kArchivePassword, {ten},
         ArchiveError::Reason::RefusedTarget},
        {"a store file", (dir.path() / ".." / dir.path().filename() / StoreFileName(1)).string(), kArchivePassword,
         {ten}, ArchiveError::Reason::RefusedTarget},
        {"empty password", ArchivePath(), "", {ten}, ArchiveError::Reason::RefusedPassword},
        {"default key", ArchivePath(), "zerkat", {ten}, ArchiveError::Reason::RefusedPassword},
        {"texts leave no room", ArchivePath(), kArchivePassword, {ten, wordy}, ArchiveError::Reason::ItemTooLarge},
        {"missing item", ArchivePath(), kArchivePassword, {ten, 9999}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            ExportToArchive(mainConn(), c.path, c.password, c.items, exportProgress, true);
            ADD_FAILURE() << "exported";
        } catch (const ArchiveError& refused) {
            ASSERT_TRUE(c.reason.has_value()) << refused.what();
            EXPECT_EQ(refused.reason(), *c.reason) << refused.what();
        } catch (const std::runtime_error& refused) {
            EXPECT_FALSE(c.reason.has_value()) << refused.what();
            EXPECT_NE(std::string(refused.what()).find("9999"), std::string::npos) << refused.what();
        }
        EXPECT_FALSE(fs::exists(ArchivePath()));
        EXPECT_FALSE(fs::exists(GetAppDir() + "/TEMPLATE.TNT"));
    }
    sqlite3_limit(mainConn().Handle(), SQLITE_LIMIT_LENGTH, limit);
    EXPECT_EQ(ReadFile(TemplateArchivePath()), templateBytes);
    EXPECT_TRUE(exportProgress.calls.empty());
    // The library is whole.
    EXPECT_EQ(ReadItem(big), PatternBytes(1000001, 7));
    EXPECT_EQ(Scalar("select count(*) from Record"), 4);
}

TEST_F(ArchiveExportTest, AMissingTemplateFailsBeforeTheTargetIsTouched)
{
    const std::string path = ArchivePath();
    EXPECT_ANY_THROW(CopyArchiveTemplate((files.path() / "no-template.tnt").string(), path));
    EXPECT_FALSE(fs::exists(path));
    WriteFile(path, "earlier content");
    EXPECT_ANY_THROW(CopyArchiveTemplate((files.path() / "no-template.tnt").string(), path));
    EXPECT_EQ(ReadFile(path), "earlier content");
    EXPECT_EQ(std::distance(fs::directory_iterator(files.path()), fs::directory_iterator()), 1);
}

TEST_F(ArchiveExportTest, AnErrorHalfWayKeepsThePostedRowsAndClosesTheProgressWindow)
{
    AddThree();
    const int broken = AddItem(PatternBytes(600000, 3), "broken.mpg");
    // Its second chunk is lost: the read fails after the first one.
    ObjectStore::ForThisThread().StoreConnection(1).Execute(
        SqlFormat("Delete from recobject where ro_record = %d and ro_chunk = 2", broken));
    EXPECT_ANY_THROW(Export({ten, broken, big}, ArchivePath(), true));
    EXPECT_EQ(ArchiveScalar(ArchivePath(), "select count(*) from record"), 1);
    EXPECT_EQ(ArchiveScalar(ArchivePath(), "select count(*) from record where rec_tnorigname = 'ten.jpg'"), 1);
    EXPECT_EQ(exportProgress.calls.back(), "hide");
}

TEST_F(ArchiveExportTest, ATargetThatAnotherProgramWritesIsLeftAlone)
{
    AddThree();
    const std::string path = ArchivePath();
    Export({ten}, path);
    const std::string before = ReadFile(path);
    {
        auto writer = OpenForWriting(path);
        db::Transaction writing(*writer);
        writer->Execute("Update record set rec_description = 'changing'");
        try {
            Export({empty, big}, path);
            ADD_FAILURE() << "exported";
        } catch (const ArchiveError& refused) {
            EXPECT_EQ(refused.reason(), ArchiveError::Reason::Locked) << refused.what();
        }
    }
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(ArchiveExportTest, AnImportUnderWayKeepsReadingTheArchiveThatAnExportReplaces)
{
    AddThree();
    const std::string path = ArchivePath();
    Export({empty, ten, big}, path);
    TransferArchive archive(path);
    Export({ten}, path);   // a new file takes the name; the open one stays whole
    UseTarget();
    EXPECT_EQ(ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress), 3);
    EXPECT_EQ(ReadItem(3), PatternBytes(1000001, 7));
}

} // namespace
} // namespace velmora::test
