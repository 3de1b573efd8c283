#include "CatalogueDoubles.h"
#include "CatalogueFixture.h"

#include "catalogue/ItemRows.h"
#include "catalogue/Search.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

class SearchTest : public CatalogueFixture {
protected:
    void Describe(int item, const std::string& description)
    {
        RenameItemDescription(mainConn(), item, description);
    }
    std::vector<std::string> Found(const std::string& text)
    {
        const SearchResult result = RunSearch(mainConn(), text, messages);
        EXPECT_EQ(result.status, SearchResult::Status::Listed) << text;
        std::vector<std::string> names;
        for (const auto& row : result.listing.rows)
            names.push_back(row.fileName);
        return names;
    }

    RecordingMessages messages;
};

TEST(SearchQueryTest, TheStatementDoublesQuotesAndTurnsWildcardsIntoPatterns)
{
    EXPECT_EQ(BuildSearchQuery("beach"),
              "SELECT * FROM Record where rec_description like '%beach%'  or rec_tnorigname like '%beach%' "
              "Order by rec_tnorigname");
    EXPECT_EQ(SearchPattern("O'Neil"), "O''Neil");
    EXPECT_EQ(SearchPattern("*.jpg"), "%.jpg");
    EXPECT_EQ(SearchPattern("a?c"), "a_c");
    EXPECT_EQ(SearchPattern("'*'?'"), "''%''_''");
}

TEST_F(SearchTest, FindsByDescriptionOrFileNameAcrossCategoriesOrderedByFileName)
{
    const int category = Category("Summer");
    AddFiled("z beach.jpg", category);
    const int described = AddFiled("a.mpg", kUnclassifiedId);
    Describe(described, "Beach party");
    AddFiled("m.jpg", category);
    EXPECT_EQ(Found("beach"), (std::vector<std::string>{"a.mpg", "z beach.jpg"}));
}

TEST_F(SearchTest, ApostrophesAndWildcardsWork)
{
    const int oneil = AddFiled("portrait.bmp", kUnclassifiedId);
    Describe(oneil, "Mr O'Neil at home");
    AddFiled("oneil.jpg", kUnclassifiedId);
    AddFiled("abc.mp3", kUnclassifiedId);
    AddFiled("a1c.wav", kUnclassifiedId);
    AddFiled("ac.wav", kUnclassifiedId);
    AddFiled("photo.JPG.wmv", kUnclassifiedId);
    AddFiled("plain.gif", kUnclassifiedId);

    EXPECT_EQ(Found("O'Neil"), std::vector<std::string>{"portrait.bmp"});
    EXPECT_EQ(Found("*.jpg"), (std::vector<std::string>{"oneil.jpg", "photo.JPG.wmv"}));
    EXPECT_EQ(Found("a?c"), (std::vector<std::string>{"a1c.wav", "abc.mp3"}));
    EXPECT_EQ(Found("'; delete from Record; --"), std::vector<std::string>{});
    EXPECT_EQ(Scalar("Select count(*) from Record"), 7);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SearchTest, EmptyTextAndRejectedPatternsAreTold)
{
    AddFiled("x.jpg", kUnclassifiedId);
    SearchResult empty = RunSearch(mainConn(), "", messages);
    EXPECT_EQ(empty.status, SearchResult::Status::NoText);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Please enter some text to find.");
    EXPECT_EQ(messages.shown[0].flags, mb::kIconInformation);

    // The database refuses patterns longer than its limit.
    SearchResult rejected = RunSearch(mainConn(), std::string(60000, 'x'), messages);
    EXPECT_EQ(rejected.status, SearchResult::Status::Rejected);
    EXPECT_TRUE(rejected.listing.rows.empty());
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, "Invalid Search Criteria Entered");
    EXPECT_EQ(messages.shown[1].flags, mb::kIconError);

    // A NUL cuts the statement short: rejected too, never a different statement.
    SearchResult cut = RunSearch(mainConn(), std::string("x\0' or 1=1 --", 13), messages);
    EXPECT_EQ(cut.status, SearchResult::Status::Rejected);
}

} // namespace
} // namespace velmora::test
