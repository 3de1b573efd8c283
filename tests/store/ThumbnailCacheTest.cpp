#include "support/LibraryFixture.h"
#include "support/RecordingProgress.h"

#include "catalogue/ItemDeletion.h"
#include "store/Blowfish.h"
#include "store/CheckValue.h"
#include "store/LibraryCheck.h"
#include "store/LibraryPassword.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/TableRow.h"
#include "store/ThumbnailCache.h"
#include "ui/ProgressRoutines.h"

#include <gmock/gmock.h>

#include <fstream>
#include <iterator>

namespace velmora::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Stands for a thumbnail: the PNG signature, then bytes that name the item.
std::string FakePng(int item)
{
    return std::string(kPngSignature, 8) + "thumbnail pixels of item " + std::to_string(item);
}

db::Connection& Main()
{
    return ObjectStore::ForThisThread().MainConnection();
}

// What the library's main database file and its log hold, as bytes on the disk.
std::string LibraryBytes(const std::filesystem::path& folder)
{
    std::string all;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        all.append(std::istreambuf_iterator<char>(in), {});
    }
    return all;
}

struct RawRow {
    int generation = -1;
    std::int64_t size = 0;
    std::string data;
};

RawRow Raw(int item)
{
    db::Query row(Main(), "Select th_keygen, th_size, th_data from thumbnail where th_record = " + std::to_string(item));
    if (row.Eof())
        return {};
    return {static_cast<int>(row.AsInteger("th_keygen")), row.AsInteger("th_size"), row.AsString("th_data")};
}

bool DecryptsToPngUnder(const std::string& password, const RawRow& row)
{
    return DecryptBytes(password, row.data).substr(0, 8) == std::string(kPngSignature, 8);
}

class ThumbnailCacheTest : public LibraryFixture {};

TEST_F(ThumbnailCacheTest, AKeptThumbnailReadsBackAndIsStoredOnlyEncrypted)
{
    const int item = AddItem("picture", "photo.jpg");
    EXPECT_EQ(FindThumbnail(Main(), item), std::nullopt);
    ASSERT_TRUE(KeepThumbnail(Main(), item, FakePng(item)));
    EXPECT_EQ(FindThumbnail(Main(), item), FakePng(item));

    const RawRow row = Raw(item);
    EXPECT_EQ(row.size, static_cast<std::int64_t>(FakePng(item).size()));
    EXPECT_EQ(row.data.size() % 8, 0u);
    EXPECT_THAT(row.data, ::testing::Not(HasSubstr("thumbnail pixels")));
    EXPECT_TRUE(DecryptsToPngUnder(kPassword, row));

    // Kept again (made anew), the row is replaced, not doubled.
    ASSERT_TRUE(KeepThumbnail(Main(), item, FakePng(item) + "!"));
    EXPECT_EQ(FindThumbnail(Main(), item), FakePng(item) + "!");
    EXPECT_EQ(Scalar("Select count(*) from thumbnail"), 1);

    ObjectStore::ForThisThread().Close();   // the log checkpointed into the file
    EXPECT_THAT(LibraryBytes(dir.path()), ::testing::Not(HasSubstr("thumbnail pixels")));
    EXPECT_THAT(LibraryBytes(dir.path()), ::testing::Not(HasSubstr(std::string(kPngSignature, 8))));
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
}

TEST_F(ThumbnailCacheTest, ADeletedItemTakesItsThumbnailAlongAndGetsNoNewOne)
{
    const int kept = AddItem("one", "a.jpg");
    const int gone = AddItem("two", "b.jpg");
    ASSERT_TRUE(KeepThumbnail(Main(), kept, FakePng(kept)));
    ASSERT_TRUE(KeepThumbnail(Main(), gone, FakePng(gone)));
    NullProgress quiet;
    ASSERT_EQ(DeleteItems(Main(), {gone}, quiet), std::vector<int>{gone});
    EXPECT_THAT(CachedThumbnails(Main()), ElementsAre(kept));
    // A worker that finishes the thumbnail of an item deleted meanwhile keeps nothing.
    EXPECT_FALSE(KeepThumbnail(Main(), gone, FakePng(gone)));
    EXPECT_THAT(CachedThumbnails(Main()), ElementsAre(kept));
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
}

TEST_F(ThumbnailCacheTest, APasswordChangeMovesEveryThumbnailToTheNewKey)
{
    const int a = AddItem("one", "a.jpg");
    const int b = AddItem("two", "b.jpg");
    ASSERT_TRUE(KeepThumbnail(Main(), a, FakePng(a)));
    ASSERT_TRUE(KeepThumbnail(Main(), b, FakePng(b)));
    const int before = Raw(a).generation;
    RecordingProgress progress;
    library->ChangePassword("new secret", progress);

    for (int item : {a, b}) {
        const RawRow row = Raw(item);
        EXPECT_EQ(row.generation, before + 1);
        EXPECT_FALSE(DecryptsToPngUnder(kPassword, row));
        EXPECT_TRUE(DecryptsToPngUnder("new secret", row));
        EXPECT_EQ(FindThumbnail(Main(), item), FakePng(item));
    }
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
}

TEST_F(ThumbnailCacheTest, AnInterruptedChangeLeavesNoThumbnailUnderTheOldKey)
{
    std::vector<int> items;
    for (int i = 0; i < 3; ++i) {
        items.push_back(AddItem(PatternBytes(200000, static_cast<unsigned>(i)), "p" + std::to_string(i) + ".jpg"));
        ASSERT_TRUE(KeepThumbnail(Main(), items.back(), FakePng(items.back())));
    }
    RecordingProgress cut;
    cut.failOnItem = 2;   // one item re-encrypted, then the power goes
    EXPECT_THROW(library->ChangePassword("after", cut), std::runtime_error);
    for (int item : items) {
        EXPECT_FALSE(DecryptsToPngUnder(kPassword, Raw(item))) << item;
        EXPECT_TRUE(DecryptsToPngUnder("after", Raw(item))) << item;
    }

    // Opened again with the old password, the thumbnails still show, and a process
    // still holding the old key cannot add one under it.
    SetLibraryPassword({}, 0);
    auto next = std::make_unique<Library>();
    next->Open();
    ASSERT_TRUE(next->VerifyPassword(kPassword, true));
    EXPECT_EQ(FindThumbnail(Main(), items[0]), FakePng(items[0]));
    const LibraryKey changing = CurrentLibraryKey();
    SetLibraryPassword(kPassword, changing.previousGeneration);
    EXPECT_FALSE(KeepThumbnail(Main(), items[1], "stale"));
    SetLibraryKey(changing);

    NullProgress quiet;
    ASSERT_TRUE(next->FinishPasswordChange(quiet));
    for (int item : items) {
        EXPECT_TRUE(DecryptsToPngUnder("after", Raw(item))) << item;
        EXPECT_EQ(FindThumbnail(Main(), item), FakePng(item));
    }
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
}

TEST_F(ThumbnailCacheTest, ALibraryWithoutTheCacheGetsOneWhenOpened)
{
    const int item = AddItem("picture", "photo.jpg");
    ExecuteMain("DROP TRIGGER Record_unthumb");
    ExecuteMain("DROP TABLE thumbnail");
    EXPECT_EQ(FindThumbnail(Main(), item), std::nullopt);
    EXPECT_FALSE(KeepThumbnail(Main(), item, FakePng(item)));
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());

    auto reopened = std::make_unique<Library>();
    reopened->Open();
    ASSERT_TRUE(KeepThumbnail(Main(), item, FakePng(item)));
    EXPECT_EQ(FindThumbnail(Main(), item), FakePng(item));
    NullProgress quiet;
    DeleteItems(Main(), {item}, quiet);
    EXPECT_THAT(CachedThumbnails(Main()), IsEmpty());
}

TEST_F(ThumbnailCacheTest, TheCheckerNamesEveryBrokenThumbnail)
{
    const int good = AddItem("one", "a.jpg");
    const int stale = AddItem("two", "b.jpg");
    const int foreign = AddItem("three", "c.jpg");
    const int cut = AddItem("four", "d.jpg");
    for (int item : {good, stale, foreign, cut})
        ASSERT_TRUE(KeepThumbnail(Main(), item, FakePng(item)));
    ExecuteMain("Insert into thumbnail (th_record, th_keygen, th_size, th_data) values (999, 0, 8, zeroblob(8))");
    ExecuteMain("Update thumbnail set th_keygen = th_keygen + 5 where th_record = " + std::to_string(stale));
    const std::string other = EncryptToBytes("another key", FakePng(foreign));
    db::TableRow("thumbnail").Set("th_data", other).Update(Main(), "th_record = ?", {foreign});
    ExecuteMain("Update thumbnail set th_size = 4096 where th_record = " + std::to_string(cut));

    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()),
                ElementsAre("thumbnail of item " + std::to_string(stale) + ": is under key generation 5, not the library's 0",
                            "thumbnail of item " + std::to_string(foreign) +
                                ": does not decrypt to a picture under the library key",
                            "thumbnail of item " + std::to_string(cut) + ": holds 40 bytes for a picture of 4096",
                            "thumbnail of item 999: the item does not exist"));
    // A stale row is not shown, and goes at the next opening; a new thumbnail replaces it.
    EXPECT_EQ(FindThumbnail(Main(), stale), std::nullopt);
    auto reopened = std::make_unique<Library>();
    reopened->Open();
    EXPECT_THAT(CachedThumbnails(Main()), ElementsAre(good, foreign, cut, 999));
    ASSERT_TRUE(KeepThumbnail(Main(), stale, FakePng(stale)));
    EXPECT_EQ(FindThumbnail(Main(), stale), FakePng(stale));
}

} // namespace
} // namespace velmora::test
