#include "CatalogueFixture.h"
#include "CatalogueDoubles.h"

#include "catalogue/ItemContent.h"
#include "catalogue/ItemRows.h"
#include "catalogue/ItemSize.h"
#include "catalogue/ItemSort.h"
#include "catalogue/Thumbnails.h"
#include "store/AddItemOnThread.h"
#include "store/MemoryStream.h"
#include "store/Query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <stdexcept>

namespace velmora::test {
namespace {

class ItemListTest : public CatalogueFixture {};

TEST_F(ItemListTest, ACategoryOfOnePictureTwoMoviesAndOneMidiFileIsCountedByKind)
{
    const int category = Category("Mixed");
    AddFiled("beach.jpg", category);
    AddFiled("clip.MPG", category);
    AddFiled("film.avi", category);
    AddFiled("tune.mid", category);
    AddFiled("elsewhere.jpg", kUnclassifiedId);

    const ItemListing listing = ReadItemRows(mainConn(), CategoryItemsQuery(category));
    EXPECT_EQ(listing.rows.size(), 4u);
    EXPECT_EQ(listing.counters.images, 1);
    EXPECT_EQ(listing.counters.movies, 2);
    EXPECT_EQ(listing.counters.audio, 1);
    EXPECT_EQ(listing.counters.unknown, 0);
    EXPECT_EQ(listing.counters.ItemsText(), "4 Items");
    EXPECT_EQ(listing.counters.MoviesText(), "2 movies");
    EXPECT_EQ(listing.counters.AudioText(), "1 audio");
    EXPECT_EQ(listing.counters.ImagesText(), "1 image");

    const ItemCounters none;
    EXPECT_EQ(none.ItemsText() + "|" + none.MoviesText() + "|" + none.AudioText() + "|" + none.ImagesText(),
              "0 Items|0 movies|0 audio|0 images");
    ItemCounters oneMovie;
    oneMovie.Count(ItemKind::Video);
    EXPECT_EQ(oneMovie.ItemsText() + "|" + oneMovie.MoviesText(), "1 Item|1 movie");
}

TEST_F(ItemListTest, TodaysPicturesSoundAndMoviesAreCountedByKind)
{
    const int category = Category("Phone");
    for (const char* name : {"IMG_0001.HEIC", "Screenshot.png", "VID_0002.mp4", "clip.MOV", "00003.MTS",
                             "voice.m4a", "track.flac", "Drawing.emf"})
        AddFiled(name, category);

    const ItemListing listing = ReadItemRows(mainConn(), CategoryItemsQuery(category));
    EXPECT_EQ(listing.rows.size(), 8u);
    EXPECT_EQ(listing.counters.images, 2);
    EXPECT_EQ(listing.counters.movies, 3);
    EXPECT_EQ(listing.counters.audio, 2);
    EXPECT_EQ(listing.counters.unknown, 1);
    EXPECT_EQ(listing.counters.ImagesText() + "|" + listing.counters.MoviesText() + "|" +
                  listing.counters.AudioText(),
              "2 images|3 movies|2 audio");
}

TEST(ItemKindTest, KindsFollowTheUpperCasedExtension)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a.gif", "Image"},   {"a.Jpeg", "Image"}, {"a.BMP", "Image"},   {"a.wmf", "Image"},
        {"Drawing.emf", "Unknown"}, {"a.mpa", "Video"}, {"a.VOB", "Video"}, {"a.ifo", "Video"},
        {"a.mp2", "Audio"},   {"a.midi", "Audio"}, {"a.rmi", "Audio"},   {"a.aifc", "Audio"},
        {"noextension", "Unknown"}, {"a.jpg.txt", "Unknown"}, {"dir.jpg/x", "Unknown"},
        // Today's files.
        {"a.png", "Image"},   {"a.WebP", "Image"}, {"a.tif", "Image"},   {"a.TIFF", "Image"},
        {"IMG_0001.HEIC", "Image"}, {"a.heif", "Image"},
        {"a.flac", "Audio"},  {"a.ogg", "Audio"},  {"a.oga", "Audio"},   {"a.Opus", "Audio"},
        {"a.m4a", "Audio"},   {"a.aac", "Audio"},
        {"VID_1.mp4", "Video"}, {"a.m4v", "Video"}, {"IMG_2.MOV", "Video"}, {"a.mkv", "Video"},
        {"a.webm", "Video"},  {"a.3gp", "Video"},  {"00001.MTS", "Video"}, {"a.m2ts", "Video"},
        {"a.mp4.part", "Unknown"}, {"a.avif", "Unknown"}};
    for (const auto& [name, kind] : cases)
        EXPECT_EQ(ItemKindText(ItemKindOf(name)), kind) << name;
}

TEST_F(ItemListTest, ListingQueriesAreTheDescribedStatements)
{
    EXPECT_EQ(CategoryItemsQuery(7),
              "Select rec_tnorigname, rec_description, rec_date_added, rec_notes, rec_ident, rec_size "
              "FROM Record INNER JOIN RecordCategory ON Record.rec_ident = RecordCategory.reccat_record "
              "where RecordCategory.reccat_category = 7 order by rec_description");
    EXPECT_EQ(UnclassifiedItemsQuery(),
              "Select rec_tnorigname, rec_description, rec_date_added, rec_notes, rec_ident, rec_size "
              "FROM Record LEFT JOIN RecordCategory ON Record.rec_ident = RecordCategory.reccat_record "
              "WHERE (((RecordCategory.reccat_id) Is Null))  order by rec_description");
    EXPECT_EQ(ItemsQueryForNode(kUnclassifiedId), UnclassifiedItemsQuery());
    EXPECT_EQ(ItemsQueryForNode(7), CategoryItemsQuery(7));
}

TEST_F(ItemListTest, UnclassifiedListsExactlyTheItemsWithoutLinksWithEveryColumn)
{
    const int category = Category("Filed");
    AddFiled("filed.jpg", category);
    const int second = AddFiled("b second.mp3", kUnclassifiedId, std::string(1234, 'x'));
    const int first = AddFiled("a first.jpg", kUnclassifiedId, "12345");
    ExecuteMain(SqlFormat("Update Record set rec_notes = 'a note' where rec_ident = %d", first));
    // An item whose only category is deleted loses its link and shows up here too.
    const int gone = Category("Gone");
    const int orphaned = AddFiled("c orphaned.wav", gone);
    DeleteCategory(mainConn(), gone);

    const ItemListing listing = ReadItemRows(mainConn(), UnclassifiedItemsQuery());
    ASSERT_EQ(listing.rows.size(), 3u);
    EXPECT_EQ(listing.rows[0].recIdent, first);
    EXPECT_EQ(listing.rows[1].recIdent, second);
    EXPECT_EQ(listing.rows[2].recIdent, orphaned);
    const ItemRow& row = listing.rows[0];
    EXPECT_EQ(row.fileName, "a first.jpg");
    EXPECT_EQ(row.description, "a first.jpg");
    EXPECT_EQ(row.notes, "a note");
    EXPECT_EQ(row.size, 5);
    EXPECT_EQ(row.dateAdded, db::Today());
    EXPECT_EQ(row.kind, ItemKind::Image);
    EXPECT_EQ(listing.rows[1].size, 1234);
}

TEST_F(ItemListTest, RenamingADescriptionKeepsItsApostrophe)
{
    const int item = AddFiled("x.jpg", kUnclassifiedId);
    RenameItemDescription(mainConn(), item, "O'Brien's 'holiday'");
    db::Query q(mainConn(), SqlFormat("Select rec_description from Record where rec_ident = %d", item));
    EXPECT_EQ(q.AsString("rec_description"), "O'Brien's 'holiday'");
}

TEST(ItemSizeTest, SizesAreShownInTheLargestUnitThatLeavesMoreThanTen)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const std::vector<std::pair<std::int64_t, std::string>> cases = {
        {0, "0  B"},
        {1, "1  B"},
        {10240, "10,240  B"},
        {10241, "10 KB"},
        {921600, "900 KB"},
        {1000000, "977 KB"},
        {2 * 1024 * 1024, "2,048 KB"},
        {20000000, "19 MB"},
        {20LL * 1024 * 1024 * 1024, "20 GB"},
        {20LL * 1024 * 1024 * 1024 * 1024, "20 TB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(FormatItemSize(bytes, us), text) << bytes;
    EXPECT_EQ(FormatItemSize(10240, QLocale(QLocale::German, QLocale::Germany)), "10.240  B");
}

TEST(ItemSizeTest, DatesKeepFourDigitYears)
{
    using namespace std::chrono;
    const db::Date date = sys_days(year(2001) / 2 / 3);
    EXPECT_EQ(FormatItemDate(date, QLocale(QLocale::English, QLocale::UnitedStates)), "2/3/2001");
    EXPECT_EQ(FormatItemDate(date, QLocale(QLocale::German, QLocale::Germany)), "03.02.2001");
    EXPECT_EQ(FormatItemDate(std::nullopt), "");
}

ItemRow Row(std::string description, std::int64_t size, std::optional<db::Date> date = std::nullopt,
            std::string fileName = "f.jpg")
{
    ItemRow row;
    row.description = std::move(description);
    row.fileName = std::move(fileName);
    row.size = size;
    row.dateAdded = date;
    row.kind = ItemKindOf(row.fileName);
    return row;
}

std::vector<std::string> SortedDescriptions(std::vector<ItemRow> rows, int column, int direction)
{
    std::stable_sort(rows.begin(), rows.end(), [&](const ItemRow& a, const ItemRow& b) {
        return mainListCompare(a, b, column, direction) < 0;
    });
    std::vector<std::string> order;
    for (const auto& row : rows)
        order.push_back(row.description);
    return order;
}

TEST(ItemSortTest, ColumnsCompareByTheirValuesInTheChosenDirection)
{
    using namespace std::chrono;
    const std::vector<ItemRow> rows = {
        Row("two MB", 2 * 1024 * 1024, sys_days(year(2024) / 1 / 2), "b.mpg"),
        Row("Nine hundred KB", 900 * 1024, sys_days(year(1999) / 12 / 31), "a.mid"),
        Row("apple", 5, std::nullopt, "C.jpg"),
    };
    // "2,048 KB" sorts before "900 KB" as text; by bytes it comes after.
    EXPECT_EQ(SortedDescriptions(rows, kSizeColumn, +1),
              (std::vector<std::string>{"apple", "Nine hundred KB", "two MB"}));
    EXPECT_EQ(SortedDescriptions(rows, kSizeColumn, -1),
              (std::vector<std::string>{"two MB", "Nine hundred KB", "apple"}));
    // ASCII letters compare lower-cased: "apple" < "Nine" < "two".
    EXPECT_EQ(SortedDescriptions(rows, kDescriptionColumn, +1),
              (std::vector<std::string>{"apple", "Nine hundred KB", "two MB"}));
    EXPECT_EQ(SortedDescriptions(rows, kFileNameColumn, +1),
              (std::vector<std::string>{"Nine hundred KB", "two MB", "apple"}));
    EXPECT_EQ(SortedDescriptions(rows, kDateAddedColumn, +1),
              (std::vector<std::string>{"apple", "Nine hundred KB", "two MB"}));
    // "Audio" < "Image" < "Video".
    EXPECT_EQ(SortedDescriptions(rows, kFileTypeColumn, -1),
              (std::vector<std::string>{"two MB", "apple", "Nine hundred KB"}));
    EXPECT_EQ(mainListCompare(rows[0], rows[0], kSizeColumn, -1), 0);
}

TEST(ItemSortTest, TheFirstClickOnDescriptionSortsAscendingAnyOtherDescending)
{
    ItemListSort sort;
    sort.ColumnClick(kDescriptionColumn);
    EXPECT_EQ(sort.direction, +1);
    sort.ColumnClick(kDescriptionColumn);
    EXPECT_EQ(sort.direction, -1);
    sort.ColumnClick(kSizeColumn);
    EXPECT_EQ(sort.column, kSizeColumn);
    EXPECT_EQ(sort.direction, -1);
    sort.ColumnClick(kSizeColumn);
    EXPECT_EQ(sort.direction, +1);
    sort.ColumnClick(kDateAddedColumn);
    EXPECT_EQ(sort.direction, -1);
}

TEST(ThumbnailFitTest, PicturesSpanTheCellOneWayAndAreCentredTheOther)
{
    struct Case {
        int w, h;
        ThumbnailRect rect;
    };
    const std::vector<Case> cases = {
        {100, 50, {0, 16, 64, 48}},   // wide: full width
        {50, 100, {16, 0, 48, 64}},   // tall: full height
        {64, 64, {0, 0, 64, 64}},
        {3, 3, {0, 0, 64, 64}},       // small pictures are enlarged
        {3, 2, {0, 11, 64, 53}},      // 2 * 64 / 3 = 42.67, truncated
        {1, 1000, {32, 0, 32, 64}},
        {4000, 3000, {0, 8, 64, 56}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitThumbnail(c.w, c.h), c.rect) << c.w << "x" << c.h;
    EXPECT_THROW(FitThumbnail(0, 10), std::invalid_argument);
    EXPECT_THROW(FitThumbnail(10, -1), std::invalid_argument);
}

TEST_F(ItemListTest, ThumbnailIndexIsMadeForPicturesAndStockForTheRest)
{
    const int picture = AddFiled("Photo.jpg", kUnclassifiedId, "picture bytes");
    const int emf = AddFiled("Drawing.emf", kUnclassifiedId);
    const int movie = AddFiled("clip.wmv", kUnclassifiedId);
    const int music = AddFiled("song.mp3", kUnclassifiedId);

    std::vector<std::string> made;
    const ThumbnailMaker maker = [&](const std::string& extension, Stream& stream) {
        std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
        stream.ReadBuffer(bytes.data(), stream.Size());
        made.push_back(extension + " " + bytes);
        return 4 + static_cast<int>(made.size()) - 1;
    };
    EXPECT_EQ(GetThumbnailIndex(mainConn(), picture, maker), 4);
    EXPECT_EQ(made, std::vector<std::string>{".JPG picture bytes"});
    EXPECT_EQ(GetThumbnailIndex(mainConn(), emf, maker), 1);
    EXPECT_EQ(GetThumbnailIndex(mainConn(), movie, maker), 2);
    EXPECT_EQ(GetThumbnailIndex(mainConn(), music, maker), 3);
    EXPECT_EQ(made.size(), 1u);

    const ThumbnailMaker undecodable = [](const std::string&, Stream&) -> int {
        throw std::runtime_error("not a picture");
    };
    EXPECT_EQ(GetThumbnailIndex(mainConn(), picture, undecodable), 1);
    EXPECT_EQ(GetThumbnailIndex(mainConn(), 999, maker), 1);
}

TEST_F(ItemListTest, ReadItemToStreamAppendsExactlyTheItemStepsPerChunkAndRewinds)
{
    const std::string content = PatternBytes(1000001, 7);
    const int item = AddItem(content, "big.mpg");
    MemoryStream out;
    out.WriteBuffer("prefix", 6);
    RecordingProgress progress;
    EXPECT_EQ(ReadItemToStream(mainConn(), item, out, progress), 1000001);
    EXPECT_EQ(out.Position(), 0);
    EXPECT_EQ(out.Bytes(), "prefix" + content);
    EXPECT_EQ(progress.allItemSteps, 3);
}

TEST_F(ItemListTest, ReadItemToStreamCutsStoredPaddingToTheRecordedSize)
{
    // An imported item is stored with its cipher padding; rec_size keeps the true length.
    MemoryStream padded(std::string("0123456789abc") + std::string(3, '\0'));
    ASSERT_TRUE(AddItemOnThread(std::nullopt, padded, "imported.jpg", 13, "imported.jpg"));
    const int item = static_cast<int>(Scalar("Select max(rec_ident) from Record"));
    MemoryStream out;
    NullProgress quiet;
    ReadItemToStream(mainConn(), item, out, quiet);
    EXPECT_EQ(out.Bytes(), "0123456789abc");
}

TEST_F(ItemListTest, ReadItemToStreamRefusesContentThatEndsEarly)
{
    const int item = AddItem(PatternBytes(1200000, 3), "broken.avi");
    // Chunk 2 of 3 vanishes: the chain ends after the first 500000 bytes.
    ObjectStore::ForThisThread().StoreConnection(1).Execute(
        SqlFormat("Delete from recobject where ro_record = %d and ro_chunk = 2", item));
    MemoryStream out;
    NullProgress quiet;
    EXPECT_THROW(ReadItemToStream(mainConn(), item, out, quiet), std::runtime_error);
    EXPECT_THROW(ReadItemToStream(mainConn(), 4242, out, quiet), std::runtime_error);
}

} // namespace
} // namespace velmora::test
