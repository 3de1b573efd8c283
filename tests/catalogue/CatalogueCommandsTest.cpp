#include "CatalogueFixture.h"

#include "catalogue/ItemRows.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

class CatalogueCommandsTest : public CatalogueFixture {
protected:
    ProcessResult Tool(const std::string& command, std::vector<std::string> args = {})
    {
        args.insert(args.begin(), {command, "--data", dir.str()});
        return RunProgram("velmora-tool", args, {{"VELMORA_PASSWORD", kPassword}});
    }
};

TEST_F(CatalogueCommandsTest, TreeShowsTheIndentedTreeWithItemCounts)
{
    const int zoo = Category("Zoo");
    const int animals = Category("Animals");
    const int cats = Category("Cat's corner", animals);
    Category("Orphan", 999);
    AddFiled("a.jpg", animals);
    const int both = AddFiled("b.jpg", animals);
    Link(cats, both);
    AddFiled("loose1.mp3", kUnclassifiedId);
    AddFiled("loose2.mp3", kUnclassifiedId);
    (void)zoo;

    const ProcessResult r = Tool("tree");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "<Unclassified>\t2\n"
                     "Animals\t2\n"
                     "  Cat's corner\t1\n"
                     "Zoo\t0\n");
}

TEST_F(CatalogueCommandsTest, SearchListsWhatTheSearchFindsInItsOrder)
{
    const int x = AddFiled("x beach.jpg", kUnclassifiedId);
    const int o = AddFiled("o.mpg", kUnclassifiedId);
    RenameItemDescription(mainConn(), o, "O'Neil on the beach");
    AddFiled("other.jpg", kUnclassifiedId);

    ProcessResult r = Tool("search", {"beach"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(o) + "\to.mpg\tO'Neil on the beach\n" + std::to_string(x) +
                         "\tx beach.jpg\tx beach.jpg\n");

    r = Tool("search", {"O'N?il"});
    EXPECT_EQ(r.out, std::to_string(o) + "\to.mpg\tO'Neil on the beach\n");

    r = Tool("search", {std::string(60000, '*')});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("Invalid Search Criteria Entered"), std::string::npos) << r.err;
}

} // namespace
} // namespace velmora::test
