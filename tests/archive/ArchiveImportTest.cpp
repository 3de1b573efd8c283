#include "archive/ArchiveFixture.h"

#include "store/CheckValue.h"
#include "store/DatabaseError.h"
#include "store/LibraryCheck.h"
#include "store/ReferenceCipher.h"
#include "store/Statement.h"
#include "store/TableRow.h"

#include <sqlite3.h>

#include <gmock/gmock.h>

namespace velmora::test {
namespace {

class ArchiveImportTest : public ArchiveFixture {
protected:
    // Exports the empty, the 10-byte and the 1,000,001-byte item and switches to the
    // target library, whose password differs from the source's.
    void ExportThreeAndSwitch(const std::vector<int>& order = {0, 1, 2})
    {
        contents = {"", "0123456789", PatternBytes(1000001, 11)};
        names = {"empty.jpg", "ten.jpg", "big.mpg"};
        std::vector<int> ids;
        for (std::size_t i = 0; i < contents.size(); ++i)
            ids.push_back(AddItem(contents[i], names[i]));
        ExecuteMain("Update Record set rec_notes = 'not carried over', rec_date_added = '1999-12-31'");
        ExecuteMain(SqlFormat("Update Record set rec_description = 'Ten' where rec_ident = %d", ids[1]));
        std::vector<int> items;
        for (int i : order)
            items.push_back(ids[static_cast<std::size_t>(i)]);
        Export(items, ArchivePath());
        UseTarget();
    }

    std::vector<std::string> contents;
    std::vector<std::string> names;
};

TEST_F(ArchiveImportTest, EveryItemArrivesByteForByteInALibraryWithAnotherPassword)
{
    ExportThreeAndSwitch();
    const int category = TargetCategory("Imported");
    TransferArchive archive(ArchivePath());
    EXPECT_EQ(archive.RowCount(), 3);
    EXPECT_FALSE(archive.CheckArchivePassword(kPassword, true)) << "the source library's password is no key";
    EXPECT_FALSE(archive.AcceptsPassword("archive Pass"));
    EXPECT_TRUE(archive.CheckArchivePassword(kArchivePassword, true));

    EXPECT_EQ(ImportArchiveItems(archive, kArchivePassword, *import, category, importProgress), 3);

    ASSERT_EQ(Scalar("select count(*) from Record"), 3);
    for (int id = 1; id <= 3; ++id) {
        const std::size_t i = static_cast<std::size_t>(id - 1);
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(ReadItem(id), contents[i]);
        EXPECT_EQ(Scalar(SqlFormat("select rec_size from Record where rec_ident = %d", id)),
                  static_cast<std::int64_t>(contents[i].size()));
        EXPECT_EQ(Scalar(SqlFormat("select rec_tnorigname = '%s' and rec_description = '%s' and "
                                   "coalesce(rec_notes, '') = '' and rec_date_added = '%s' "
                                   "from Record where rec_ident = %d",
                                   names[i].c_str(), id == 2 ? "Ten" : names[i].c_str(), Today().c_str(), id)),
                  1);
        EXPECT_TRUE(Linked(category, id));
    }
    const std::vector<std::string> calls{"show Importing Items", "total Please Wait 3", "item empty.jpg 1",
                                         "item ten.jpg 1", "item big.mpg 3", "hide"};
    EXPECT_EQ(importProgress.calls, calls);
    EXPECT_FALSE(import->LastAddedItem().has_value()) << "the reloaded list selects nothing";
}

// An archive from elsewhere may fill the last block of an item with anything: only the
// item's own bytes are taken, the stored chunks are as an add of them makes them. With
// one byte in the last chunk, its fill is what one of the two cipher threads works on.
TEST_F(ArchiveImportTest, TheFillOfAnItemsLastBlockIsStoredAsZerosWhateverTheArchiveHolds)
{
    const std::string content = PatternBytes(1000001, 5);
    Export({AddItem(content, "big.mpg")}, ArchivePath());
    {
        const std::string archived = ReferenceBlowfish(kArchivePassword).Encrypt(content + "\x5a\xa5\xff\x01" "jun");
        ASSERT_EQ(archived.size(), 1000008u);
        auto c = OpenForWriting(ArchivePath());
        db::Statement update(c->Handle(), "Update record set rec_object = ?", ArchivePath());
        update.BindBlob(1, archived.data(), static_cast<std::int64_t>(archived.size()));
        update.Run();
    }
    UseTarget();
    ASSERT_EQ(Import(ArchivePath()), 1);

    EXPECT_EQ(ReadItem(1), content);
    const ReferenceBlowfish library(kTargetPassword);
    for (int chunk = 1; chunk <= 3; ++chunk) {
        db::Query q(ObjectStore::ForThisThread().StoreConnection(1),
                    SqlFormat("Select ro_data from recobject where ro_record = 1 and ro_chunk = %d", chunk));
        ASSERT_FALSE(q.Eof());
        auto blob = q.OpenReadStream("ro_data");
        std::string stored(static_cast<std::size_t>(blob->Size()), '\0');
        blob->ReadBuffer(stored.data(), blob->Size());
        EXPECT_TRUE(stored == library.Encrypt(content.substr(static_cast<std::size_t>(chunk - 1) * 500000, 500000)))
            << "chunk " << chunk;
    }
}

TEST_F(ArchiveImportTest, UnclassifiedTakesItemsWithoutACategoryAndASecondImportAddsThemAgain)
{
    ExportThreeAndSwitch({2, 1});
    EXPECT_EQ(Import(ArchivePath()), 2);
    EXPECT_EQ(Import(ArchivePath()), 2);
    EXPECT_EQ(Scalar("select count(*) from Record"), 4);
    EXPECT_EQ(Scalar("select count(*) from RecordCategory"), 0);
    EXPECT_EQ(ReadItem(1), contents[2]);
    EXPECT_EQ(ReadItem(2), contents[1]);
    EXPECT_EQ(ReadItem(3), contents[2]);
    EXPECT_EQ(ReadItem(4), contents[1]);
}

TEST_F(ArchiveImportTest, ACheckValueHeldAsRawCipherBytesOpensWithTheRightPasswordOnly)
{
    ExportThreeAndSwitch();
    {
        auto c = OpenForWriting(ArchivePath());
        db::TableRow("Options")
            .Set("opt_pass", EncryptToBytes(std::string(kArchivePassword), kCheckText))
            .Update(*c, "1 = 1");
    }
    TransferArchive archive(ArchivePath());
    EXPECT_FALSE(archive.CheckArchivePassword(kArchivePassword, true));
    EXPECT_TRUE(archive.CheckArchivePassword(kArchivePassword, false));
    EXPECT_TRUE(archive.AcceptsPassword(kArchivePassword));
    EXPECT_FALSE(archive.AcceptsPassword(kTargetPassword));
    EXPECT_FALSE(archive.AcceptsPassword(""));
    EXPECT_EQ(ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress), 3);
    EXPECT_EQ(ReadItem(3), contents[2]);
}

TEST_F(ArchiveImportTest, AnArchiveWithoutRowsAddsNothing)
{
    Export({}, ArchivePath());
    UseTarget();
    TransferArchive archive(ArchivePath());
    EXPECT_TRUE(archive.AcceptsPassword(kArchivePassword));
    EXPECT_EQ(archive.RowCount(), 0);
    EXPECT_EQ(ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress), 0);
    EXPECT_EQ(Scalar("select count(*) from Record"), 0);
    const std::vector<std::string> calls{"show Importing Items", "total Please Wait 0", "hide"};
    EXPECT_EQ(importProgress.calls, calls);
}

TEST_F(ArchiveImportTest, CancelCompletesTheCurrentItemAndKeepsTheOnesAdded)
{
    ExportThreeAndSwitch();
    importProgress.cancelAfterChecks = 1;
    EXPECT_EQ(Import(ArchivePath()), 2);
    EXPECT_EQ(Scalar("select count(*) from Record"), 2);
    EXPECT_EQ(ReadItem(2), contents[1]);
    EXPECT_EQ(importProgress.calls.back(), "hide");
    EXPECT_FALSE(import->LastAddedItem().has_value());
    // The number taken ahead for the third item goes back unused: no pending mark stays,
    // and the next item is number 3.
    EXPECT_EQ(Scalar("select count(*) from pendingadd"), 0);
    EXPECT_EQ(Scalar("select seq from sqlite_sequence where name = 'Record'"), 2);
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), ::testing::IsEmpty());
}

TEST_F(ArchiveImportTest, CancelPressedWhileAnItemIsOnItsWayCompletesThatItemOnly)
{
    ExportThreeAndSwitch({2, 1, 2});   // three chunks in flight first
    importProgress.cancelAfterItemSteps = 1;
    const int threads = ThreadCount();
    EXPECT_EQ(Import(ArchivePath()), 1);
    EXPECT_EQ(ThreadCountSettledAt(threads), threads);
    EXPECT_EQ(importProgress.allItemSteps, 3);
    EXPECT_EQ(Scalar("select count(*) from Record"), 1);
    EXPECT_EQ(ReadItem(1), contents[2]);
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), ::testing::IsEmpty());
}

TEST_F(ArchiveImportTest, NoOtherConnectionCanCommitToTheArchiveWhileItIsOpen)
{
    ExportThreeAndSwitch();
    auto writer = OpenForWriting(ArchivePath());
    sqlite3_busy_timeout(writer->Handle(), 0);
    {
        TransferArchive archive(ArchivePath());
        EXPECT_THROW(writer->Execute("Update record set rec_description = 'changed'"), db::DatabaseError);
        EXPECT_EQ(ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress), 3);
        EXPECT_THROW(writer->Execute("Delete from record"), db::DatabaseError);
    }
    writer->Execute("Update record set rec_description = 'changed'");
    EXPECT_EQ(ArchiveScalar(ArchivePath(), "select count(*) from record where rec_description = 'changed'"), 3);
    EXPECT_EQ(Scalar("select count(*) from Record where rec_description = 'changed'"), 0);
}

} // namespace
} // namespace velmora::test
