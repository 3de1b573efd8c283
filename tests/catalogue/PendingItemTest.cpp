// An item whose add has not completed is seen by no reader of the library.
#include "CatalogueDoubles.h"
#include "CatalogueFixture.h"

#include "archive/ArchiveExport.h"
#include "catalogue/CategoryTree.h"
#include "catalogue/ItemContent.h"
#include "catalogue/ItemRows.h"
#include "catalogue/Search.h"
#include "store/MemoryStream.h"
#include "store/NewItem.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

class PendingItemTest : public CatalogueFixture {
protected:
    // What each reader finds of the item.
    void ExpectSeen(int item, bool seen)
    {
        const auto rows = ReadItemRows(mainConn(), UnclassifiedItemsQuery()).rows;
        EXPECT_EQ(rows.size(), seen ? 1u : 0u) << "listing";
        EXPECT_EQ(CountUnclassifiedItems(mainConn()), seen ? 1 : 0) << "tree count";
        RecordingMessages messages;
        EXPECT_EQ(RunSearch(mainConn(), "half", messages).listing.rows.size(), seen ? 1u : 0u) << "search";

        MemoryStream content;
        NullProgress quiet;
        if (seen)
            EXPECT_EQ(ReadItemToStream(mainConn(), item, content, quiet), 1200000) << "preview";
        else
            EXPECT_THROW(ReadItemToStream(mainConn(), item, content, quiet), std::runtime_error) << "preview";
        MemoryStream streamed;
        if (seen)
            EXPECT_EQ(ObjectStore::ForThisThread().ReadItem(streamed, item), 1200000) << "playback";
        else
            EXPECT_THROW(ObjectStore::ForThisThread().ReadItem(streamed, item), std::runtime_error) << "playback";

        int exported = 0;
        try {
            exported = ExportToArchive(mainConn(), (archives / "out.eta").string(), "archive pw", {item}, quiet,
                                       false)
                           .exported;
        } catch (const std::exception&) {
            exported = 0;
        }
        EXPECT_EQ(exported, seen ? 1 : 0) << "export";
    }

    TempDir archives;
};

TEST_F(PendingItemTest, NoReaderSeesAnItemBeforeItsAddCompletes)
{
    ObjectStore& store = ObjectStore::ForThisThread();
    NewItem item(store, "half.avi", "half.avi");
    MemoryStream source;
    const std::string bytes = PatternBytes(1200000, 6);
    source.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    source.SetPosition(0);
    item.Store(source, source.Size());   // every chunk there, the add not yet complete

    ExpectSeen(item.RecordIdent(), false);
    item.Complete();
    ExpectSeen(item.RecordIdent(), true);
}

} // namespace
} // namespace velmora::test
