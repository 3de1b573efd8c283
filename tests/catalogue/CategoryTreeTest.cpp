#include "CatalogueFixture.h"

#include "catalogue/CategoryLinks.h"
#include "catalogue/CategoryTree.h"
#include "catalogue/ItemRows.h"
#include "store/Query.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace velmora::test {
namespace {

class CategoryTreeTest : public CatalogueFixture {
protected:
    std::vector<int> Listed(int node)
    {
        std::vector<int> ids;
        for (const auto& row : ReadItemRows(mainConn(), ItemsQueryForNode(node)).rows)
            ids.push_back(row.recIdent);
        return ids;
    }
    std::string Description(int category)
    {
        db::Query q(mainConn(), SqlFormat("Select cat_description from Category where cat_id = %d", category));
        return q.AsString("cat_description");
    }
};

// The tree as text: one line per node, indented by depth.
std::string Outline(const std::vector<CategoryNode>& nodes, int depth = 0)
{
    std::string text;
    for (const auto& node : nodes) {
        text += std::string(static_cast<std::size_t>(depth) * 2, ' ') + node.description + "\n";
        text += Outline(node.children, depth + 1);
    }
    return text;
}

TEST_F(CategoryTreeTest, AnEmptyCategoryTableGivesUnclassifiedAlone)
{
    const auto tree = BuildCategoryTree(mainConn());
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0].id, kUnclassifiedId);
    EXPECT_EQ(tree[0].description, "<Unclassified>");
    EXPECT_TRUE(tree[0].children.empty());
}

TEST_F(CategoryTreeTest, LoadsDepthFirstEachLevelByNameAndNeverShowsOrphans)
{
    const int zoo = Category("Zoo");
    const int animals = Category("Animals");
    const int cats = Category("Cats", animals);
    Category("Birds", animals);
    Category("Kittens", cats);
    Category("Lions", zoo);
    // Parent 999 does not exist: neither it nor its own child may appear.
    const int orphan = Category("Orphan", 999);
    Category("Orphan's child", orphan);

    const auto tree = BuildCategoryTree(mainConn());
    EXPECT_EQ(Outline(tree), "<Unclassified>\n"
                             "Animals\n"
                             "  Birds\n"
                             "  Cats\n"
                             "    Kittens\n"
                             "Zoo\n"
                             "  Lions\n");
    EXPECT_EQ(tree[1].id, animals);
    EXPECT_EQ(tree[1].children[1].id, cats);
    EXPECT_EQ(tree[1].children[1].parent, animals);
}

TEST_F(CategoryTreeTest, RowsThatAreTheirOwnParentDoNotLoop)
{
    ExecuteMain("Insert into Category (cat_id, cat_parent, cat_description) values (0, 0, 'zero')");
    ExecuteMain("Insert into Category (cat_id, cat_parent, cat_description) values (50, 50, 'self')");
    Category("Real");
    EXPECT_EQ(Outline(BuildCategoryTree(mainConn())), "<Unclassified>\nReal\n");
    EXPECT_EQ(DeleteCategory(mainConn(), 50), std::vector<int>{50});
}

TEST_F(CategoryTreeTest, NamesKeepTheirApostrophesThroughAddAndRename)
{
    const int toms = Category("Tom's pictures");
    EXPECT_EQ(Description(toms), "Tom's pictures");
    RenameCategory(mainConn(), toms, "O'Brien's 'best' -- ; drop table Record");
    EXPECT_EQ(Description(toms), "O'Brien's 'best' -- ; drop table Record");
    EXPECT_EQ(Scalar("Select count(*) from Category"), 1);
}

TEST_F(CategoryTreeTest, AddAndAddSubcategoryMakeNamedRowsUnclassifiedTakesNone)
{
    const int top = AddCategory(mainConn());
    const int sub = AddSubcategory(mainConn(), top);
    const auto tree = BuildCategoryTree(mainConn());
    EXPECT_EQ(Outline(tree), "<Unclassified>\nNew Category\n  New Subcategory\n");
    EXPECT_EQ(tree[1].children[0].id, sub);
    EXPECT_THROW(AddSubcategory(mainConn(), kUnclassifiedId), std::invalid_argument);
    EXPECT_THROW(RenameCategory(mainConn(), kUnclassifiedId, "x"), std::invalid_argument);
    EXPECT_THROW(DeleteCategory(mainConn(), kUnclassifiedId), std::invalid_argument);
    EXPECT_EQ(Scalar("Select count(*) from Category"), 2);
}

TEST_F(CategoryTreeTest, CopyLinksItemsAndMoveTakesThemOutOfTheSelectedCategory)
{
    const int a = Category("A");
    const int b = Category("B");
    const int one = AddFiled("one.jpg", a);
    const int two = AddFiled("two.jpg", a);
    const int three = AddFiled("three.jpg", a);

    // Ctrl held: copy. The target is not the selected node, so no reload is needed.
    EXPECT_FALSE(DropItemsOnCategory(mainConn(), b, a, {one, two}, false));
    EXPECT_TRUE(Linked(a, one) && Linked(a, two));
    EXPECT_TRUE(Linked(b, one) && Linked(b, two));

    EXPECT_TRUE(DropItemsOnCategory(mainConn(), b, a, {three}, true));
    EXPECT_FALSE(Linked(a, three));
    EXPECT_TRUE(Linked(b, three));
    EXPECT_EQ(Listed(a), (std::vector<int>{one, two}));

    // Copying again adds no second link: an item is never listed twice.
    DropItemsOnCategory(mainConn(), b, a, {one}, false);
    EXPECT_EQ(Listed(b), (std::vector<int>{one, three, two}));   // by description
}

TEST_F(CategoryTreeTest, MovingOntoTheSelectedCategoryKeepsTheItemsThere)
{
    const int a = Category("A");
    const int item = AddFiled("x.jpg", a);
    EXPECT_TRUE(DropItemsOnCategory(mainConn(), a, a, {item}, true));
    EXPECT_TRUE(Linked(a, item));
}

TEST_F(CategoryTreeTest, MovingOutOfUnclassifiedAddsTheFirstLinkAndUnclassifiedTakesNoDrop)
{
    const int b = Category("B");
    const int loose = AddFiled("loose.mp3", kUnclassifiedId);
    EXPECT_EQ(Listed(kUnclassifiedId), std::vector<int>{loose});

    EXPECT_FALSE(DropItemsOnCategory(mainConn(), kUnclassifiedId, b, {loose}, true));
    EXPECT_EQ(Scalar("Select count(*) from RecordCategory"), 0);

    EXPECT_TRUE(DropItemsOnCategory(mainConn(), b, kUnclassifiedId, {loose}, true));
    EXPECT_TRUE(Linked(b, loose));
    EXPECT_TRUE(Listed(kUnclassifiedId).empty());

    // After a search no node is selected: a move only links, and nothing is reloaded.
    const int c = Category("C");
    EXPECT_FALSE(DropItemsOnCategory(mainConn(), c, std::nullopt, {loose}, true));
    EXPECT_TRUE(Linked(b, loose) && Linked(c, loose));
}

TEST_F(CategoryTreeTest, RemovingAnItemFromItsOnlyCategoryListsItUnderUnclassified)
{
    const int a = Category("A");
    const int b = Category("B");
    const int only = AddFiled("only.jpg", a);
    const int both = AddFiled("both.jpg", a);
    Link(b, both);

    EXPECT_EQ(RemoveFromCategory(mainConn(), a, {only, both}), (std::vector<int>{only, both}));
    EXPECT_EQ(Listed(kUnclassifiedId), std::vector<int>{only});
    EXPECT_EQ(Listed(b), std::vector<int>{both});
    EXPECT_TRUE(Listed(a).empty());
    EXPECT_TRUE(RemoveFromCategory(mainConn(), kUnclassifiedId, {only}).empty());
}

TEST_F(CategoryTreeTest, CountsItemsPerCategoryAndUnclassified)
{
    const int a = Category("A");
    const int b = Category("B", a);
    AddFiled("1.jpg", a);
    AddFiled("2.jpg", a);
    const int shared = AddFiled("3.jpg", b);
    Link(a, shared);
    AddFiled("4.jpg", kUnclassifiedId);
    const auto counts = CountItemsPerCategory(mainConn());
    EXPECT_EQ(counts, (std::map<int, int>{{a, 3}, {b, 1}}));
    EXPECT_EQ(CountUnclassifiedItems(mainConn()), 1);
}

} // namespace
} // namespace velmora::test
