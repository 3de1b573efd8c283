#include "CatalogueDoubles.h"
#include "CatalogueFixture.h"

#include "catalogue/CategoryTree.h"
#include "catalogue/Confirmations.h"
#include "catalogue/ItemDeletion.h"
#include "catalogue/ItemRows.h"
#include "catalogue/Search.h"
#include "store/ItemRemoval.h"
#include "store/LibraryCheck.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace velmora::test {
namespace {

class RemovalTest : public CatalogueFixture {
protected:
    std::int64_t FreeSpace() { return Scalar("Select st_freespace from space where st_num = 1"); }
    std::int64_t Chunks(int item)
    {
        return StoreScalar(1, SqlFormat("Select count(*) from recobject where ro_record = %d", item));
    }

    RecordingProgress progress;
};

TEST_F(RemovalTest, DeletingItemsFreesTheirChunksRowsAndLinksAndLeavesTheRest)
{
    const int category = Category("Five");
    std::vector<int> items;
    for (int i = 0; i < 5; ++i)
        items.push_back(AddFiled("item" + std::to_string(i) + ".jpg", category,
                                 PatternBytes(i == 2 ? 1200000 : 1000, static_cast<unsigned>(i))));
    ASSERT_EQ(Chunks(items[2]), 3);
    const std::int64_t before = FreeSpace();

    // The list walks from its last selected row up.
    const std::vector<int> chosen = {items[4], items[2], items[1]};
    EXPECT_EQ(DeleteItems(mainConn(), chosen, progress), chosen);

    for (int item : chosen) {
        EXPECT_EQ(Scalar(SqlFormat("Select count(*) from Record where rec_ident = %d", item)), 0);
        EXPECT_EQ(Scalar(SqlFormat("Select count(*) from RecordCategory where reccat_record = %d", item)), 0);
        EXPECT_EQ(Chunks(item), 0);
    }
    EXPECT_EQ(FreeSpace(), before + 5 * kChunkCharge);
    const auto left = ReadItemRows(mainConn(), CategoryItemsQuery(category)).rows;
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(ReadItem(items[0]), PatternBytes(1000, 0));
    EXPECT_EQ(ReadItem(items[3]), PatternBytes(1000, 3));

    EXPECT_EQ(progress.calls.front(), "show Deleting Files");
    EXPECT_EQ(progress.calls[1], "total Deleting Files 3");
    EXPECT_NE(std::find(progress.calls.begin(), progress.calls.end(), "item item2.jpg 3"), progress.calls.end());
    EXPECT_EQ(progress.allItemSteps, 5);
    EXPECT_EQ(progress.calls.back(), "hide");
}

TEST_F(RemovalTest, CancelStopsAfterTheCurrentItem)
{
    const int a = AddItem("a", "a.jpg");
    const int b = AddItem("b", "b.jpg");
    progress.cancelAfterChecks = 0;
    EXPECT_EQ(DeleteItems(mainConn(), {b, a}, progress), std::vector<int>{b});
    EXPECT_EQ(ReadItem(a), "a");
}

TEST_F(RemovalTest, AnItemWhoseChainIsBrokenLosesEveryChunkAllTheSame)
{
    const int item = AddItem(PatternBytes(1200000, 5), "broken.avi");
    ObjectStore::ForThisThread().StoreConnection(1).Execute(
        SqlFormat("Delete from recobject where ro_record = %d and ro_chunk = 2", item));
    DeleteItems(mainConn(), {item}, progress);
    EXPECT_EQ(Chunks(item), 0);
    EXPECT_EQ(Scalar("Select count(*) from Record"), 0);
}

// The power goes after a number of chunks have been freed.
class PowerCutProgress : public RecordingProgress {
public:
    void StepItemProgress() override
    {
        RecordingProgress::StepItemProgress();
        if (allItemSteps == cutAfter)
            throw std::runtime_error("power cut");
    }
    int cutAfter = -1;
};

TEST_F(RemovalTest, ADeleteCutShortIsListedNowhereAndIsFinishedOnceAtTheNextOpen)
{
    const int category = Category("Films");
    const int kept = AddFiled("kept.jpg", category, PatternBytes(700000, 1));
    const int cut = AddFiled("cut.avi", category, PatternBytes(2600000, 2));   // 6 chunks
    const std::int64_t before = FreeSpace();
    PowerCutProgress power;
    power.cutAfter = 2;
    EXPECT_THROW(DeleteItems(mainConn(), {cut}, power), std::runtime_error);

    // Gone at once and wholly, whatever is still to be freed.
    EXPECT_EQ(Scalar(SqlFormat("Select count(*) from Record where rec_ident = %d", cut)), 0);
    const auto listed = ReadItemRows(mainConn(), CategoryItemsQuery(category)).rows;
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].recIdent, kept);
    RecordingMessages messages;
    EXPECT_EQ(RunSearch(mainConn(), "cut", messages).listing.rows.size(), 0u);
    EXPECT_FALSE(CheckLibrary(ObjectStore::ForThisThread()).empty());

    // The next opening finishes it: every chunk freed, each credited once.
    Library next;
    next.Open();
    NullProgress quiet;
    EXPECT_EQ(next.RecoverInterruptedWork(quiet).deletesFinished, 1);
    EXPECT_EQ(Chunks(cut), 0);
    EXPECT_EQ(FreeSpace(), before + 6 * kChunkCharge);
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), ::testing::IsEmpty());
    EXPECT_EQ(ReadItem(kept), PatternBytes(700000, 1));

    // Deleting it again credits nothing more.
    EXPECT_EQ(DeleteItems(mainConn(), {cut}, progress), std::vector<int>{cut});
    EXPECT_EQ(FreeSpace(), before + 6 * kChunkCharge);
}

TEST_F(RemovalTest, TwoFinishersOfOneDeleteCreditEachChunkOnce)
{
    const int item = AddItem(PatternBytes(20 * 500000, 3), "long.avi");
    const std::int64_t before = FreeSpace();
    ASSERT_TRUE(BeginItemRemoval(mainConn(), item));
    auto finisher = [item] {
        ObjectStore& own = ObjectStore::ForThisThread();
        NullProgress quiet;
        FinishItemRemoval(own.MainConnection(), own, item, quiet);
        own.Close();
    };
    std::thread a(finisher);
    std::thread b(finisher);
    a.join();
    b.join();
    EXPECT_EQ(Chunks(item), 0);
    EXPECT_EQ(FreeSpace(), before + 20 * kChunkCharge);
    EXPECT_EQ(Scalar("Select count(*) from pendingdelete"), 0);
}

TEST_F(RemovalTest, DeletingACategoryTakesEveryLevelBelowItAndKeepsTheItems)
{
    const int top = Category("Top");
    const int middle = Category("Middle", top);
    const int bottom = Category("Bottom", middle);
    const int sibling = Category("Sibling");
    const int inTop = AddFiled("top.jpg", top);
    const int inBottom = AddFiled("bottom.jpg", bottom);
    const int alsoSibling = AddFiled("shared.jpg", middle);
    Link(sibling, alsoSibling);

    EXPECT_EQ(DeleteCategory(mainConn(), top), (std::vector<int>{bottom, middle, top}));

    EXPECT_EQ(Scalar("Select count(*) from Category"), 1);
    const auto tree = BuildCategoryTree(mainConn());
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[1].id, sibling);
    EXPECT_EQ(Scalar("Select count(*) from Record"), 3);
    EXPECT_EQ(Scalar("Select count(*) from RecordCategory"), 1);   // the sibling's link only
    std::vector<int> unclassified;
    for (const auto& row : ReadItemRows(mainConn(), UnclassifiedItemsQuery()).rows)
        unclassified.push_back(row.recIdent);
    std::sort(unclassified.begin(), unclassified.end());
    EXPECT_EQ(unclassified, (std::vector<int>{inTop, inBottom}));
}

TEST(ConfirmationsTest, QuestionsNameTheCountAndOnlyNoStops)
{
    EXPECT_EQ(DeleteItemsQuestion(1), "Are you sure you want to delete this file?");
    EXPECT_EQ(DeleteItemsQuestion(3), "Are you sure you want to delete these 3 files?");
    EXPECT_EQ(RemoveFromCategoryQuestion(1), "Are you sure you want to remove this file from the category?");
    EXPECT_EQ(RemoveFromCategoryQuestion(2), "Are you sure you want to remove these 2 files from the category?");

    RecordingMessages messages;
    messages.answers = {mb::kResultNo, mb::kResultYes, mb::kResultCancel, mb::kResultNo, mb::kResultOk};
    EXPECT_FALSE(ConfirmDeleteItems(messages, 3));
    EXPECT_TRUE(ConfirmRemoveFromCategory(messages, 1));
    EXPECT_TRUE(ConfirmDeleteCategory(messages));
    EXPECT_FALSE(ConfirmDeleteCategory(messages));
    EXPECT_TRUE(ConfirmDeleteItems(messages, 1));
    ASSERT_EQ(messages.shown.size(), 5u);
    EXPECT_EQ(messages.shown[0].text, "Are you sure you want to delete these 3 files?");
    EXPECT_EQ(messages.shown[2].text, "Are you sure you want to delete this category?");
    for (const auto& shown : messages.shown)
        EXPECT_EQ(shown.flags, 36);
}

} // namespace
} // namespace velmora::test
