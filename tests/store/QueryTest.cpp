#include "store/DatabaseTestSupport.h"

#include "store/DatabaseError.h"
#include "store/Query.h"
#include "store/TableRow.h"
#include "store/Transaction.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <vector>

using namespace velmora;
using namespace velmora::test;
using namespace std::chrono;
using db::Connection;
using db::DatabaseError;
using db::Date;
using db::Query;
using db::TableRow;

namespace {

class QueryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        conn.SetConnectionString(SharedConnectionString(CopyShippedFile(ShippedLibrary(), dir / "tndb.mdb")));
        conn.Open();
    }

    int AddRecord(const std::string& description)
    {
        TableRow row("Record");
        row.Set("rec_tnorigname", description + ".jpg").Set("rec_description", description).Set("rec_rank", 1);
        return static_cast<int>(row.Insert(conn));
    }

    int AddCategory(const std::string& name, int parent = 0)
    {
        TableRow row("Category");
        row.Set("cat_parent", parent).Set("cat_description", name);
        return static_cast<int>(row.Insert(conn));
    }

    void Link(int category, int record)
    {
        conn.Execute("Insert into RecordCategory (reccat_category, reccat_record) values (" + std::to_string(category)
                     + "," + std::to_string(record) + ")");
    }

    std::vector<std::string> Descriptions(const std::string& sql)
    {
        std::vector<std::string> out;
        for (Query q(conn, sql); !q.Eof(); q.Next())
            out.push_back(q.AsString("rec_description"));
        return out;
    }

    TempDir dir;
    Connection conn;
};

} // namespace

TEST_F(QueryTest, InsertedRowGetsItsAutoNumber)
{
    const int first = AddRecord("one");
    const int second = AddRecord("two");
    EXPECT_GT(first, 0);
    EXPECT_EQ(second, first + 1);

    TableRow row("Record");
    row.Set("rec_description", "three");
    EXPECT_EQ(row.Insert(conn), second + 1);
    Query q(conn, "Select * from Record where rec_ident = ?", {second + 1});
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.AsInteger("REC_IDENT"), second + 1);
    EXPECT_EQ(q.AsString("rec_description"), "three");
    EXPECT_TRUE(q.IsNull("rec_notes"));
    q.Next();
    EXPECT_TRUE(q.Eof());

    // A row with no value set takes the table's defaults.
    const std::int64_t bare = TableRow("Category").Insert(conn);
    Query category(conn, "Select cat_parent from Category where cat_id = ?", {bare});
    ASSERT_FALSE(category.Eof());
    EXPECT_EQ(category.AsInteger("cat_parent"), 0);
}

TEST_F(QueryTest, NumbersAreNeverReusedAfterDelete)
{
    const int a = AddRecord("a");
    const int b = AddRecord("b");
    conn.Execute("Delete from Record where rec_ident = " + std::to_string(b));
    EXPECT_EQ(AddRecord("c"), b + 1);
    conn.Execute("Delete from Record");
    EXPECT_EQ(AddRecord("d"), b + 2);
    EXPECT_LT(a, b);
}

TEST_F(QueryTest, UpdateChangesOnlyTheRowsItsConditionPicks)
{
    AddRecord("alpha");
    const int beta = AddRecord("beta");
    AddRecord("gamma");
    TableRow rename("Record");
    rename.Set("rec_description", "Beta's new name").Set("rec_description", "Beta's newer name");
    EXPECT_EQ(rename.Update(conn, "rec_ident = ?", {beta}), 1);
    EXPECT_EQ(Descriptions("Select * from Record order by rec_ident"),
              (std::vector<std::string>{"alpha", "Beta's newer name", "gamma"}));

    TableRow rank("Record");
    rank.Set("rec_rank", 5);
    EXPECT_EQ(rank.Update(conn, "rec_description like ?", {"%a"}), 2);
    EXPECT_EQ(Descriptions("Select * from Record where rec_rank = 5 order by rec_ident"),
              (std::vector<std::string>{"alpha", "gamma"}));
    EXPECT_EQ(rank.Update(conn, "rec_ident = ?", {beta + 100}), 0);
    EXPECT_EQ(TableRow("Record").Update(conn, "1 = 1"), 0) << "a row with nothing set changes nothing";
}

TEST_F(QueryTest, TextDatesBooleansAndNullsRoundTrip)
{
    const std::string awkward = "O'Brien's \"quoted\" ; -- text, naïve";
    const Date day = sys_days{2004y / March / 7};
    {
        TableRow row("Record");
        row.Set("rec_description", awkward)
            .Set("rec_date_added", day)
            .Set("rec_size", 3000000000LL)
            .Set("rec_notes", nullptr);
        row.Insert(conn);
    }
    Query q(conn, "Select * from Record");
    ASSERT_FALSE(q.Eof());
    EXPECT_EQ(q.AsString("rec_description"), awkward);
    EXPECT_EQ(q.AsDate("rec_date_added"), day);
    EXPECT_EQ(q.AsString("rec_date_added"), "2004-03-07");
    EXPECT_EQ(q.AsInteger("rec_size"), 3000000000LL);
    EXPECT_TRUE(q.IsNull("rec_notes"));
    EXPECT_EQ(q.AsString("rec_notes"), "");
    EXPECT_EQ(q.AsInteger("rec_notes"), 0);
    EXPECT_FALSE(q.AsBoolean("rec_notes"));
    EXPECT_EQ(q.AsDate("rec_notes"), Date{});
    EXPECT_FALSE(q.HasField("no_such_field"));
    EXPECT_THROW(q.AsString("no_such_field"), DatabaseError);
    EXPECT_THROW(q.AsDate("rec_description"), DatabaseError);
    // Stored as a text and a number, as the files have always held them.
    Query types(conn, "Select typeof(rec_date_added) as d, typeof(rec_size) as s from Record");
    EXPECT_EQ(types.AsString("d"), "text");
    EXPECT_EQ(types.AsString("s"), "integer");

    // The same text found again, bound and as a literal with the quote doubled.
    EXPECT_FALSE(Query(conn, "Select * from Record where rec_description = ?", {awkward}).Eof());
    EXPECT_FALSE(
        Query(conn, "Select * from Record where rec_description = 'O''Brien''s \"quoted\" ; -- text, naïve'").Eof());

    TableRow options("options");
    options.Set("opt_defdelete", true).Set("opt_enableThumb", false);
    EXPECT_EQ(options.Update(conn, "1 = 1"), 1);
    Query again(conn, "Select * from options");
    EXPECT_TRUE(again.AsBoolean("opt_defdelete"));
    EXPECT_FALSE(again.AsBoolean("OPT_ENABLETHUMB"));
    EXPECT_EQ(again.AsInteger("opt_defdelete"), 1);
    // Booleans stored as text by other programs read as they mean.
    for (const auto& [text, meaning] : std::vector<std::pair<std::string, bool>>{
             {"True", true}, {"yes", true}, {"-1", true}, {"0", false}, {"false", false}, {"", false}}) {
        TableRow("options").Set("opt_defdelete", text).Update(conn, "1 = 1");
        EXPECT_EQ(Query(conn, "Select opt_defdelete from options").AsBoolean("opt_defdelete"), meaning) << text;
    }
}

TEST_F(QueryTest, CursorMovesAndCounts)
{
    for (const char* name : {"c", "a", "b"})
        AddRecord(name);
    Query q(conn, "Select * from Record order by rec_description;  ");
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(q.AsString("rec_description"), "a");
    q.Next();
    q.Next();
    EXPECT_EQ(q.AsString("rec_description"), "c");
    q.Next();
    EXPECT_TRUE(q.Eof());
    EXPECT_THROW(q.AsString("rec_description"), DatabaseError);
    q.First();
    EXPECT_EQ(q.AsString("rec_description"), "a");
    EXPECT_EQ(Query(conn, "Select * from Record where rec_ident = 0").RecordCount(), 0);
    // The count binds the query's parameters as the query does.
    EXPECT_EQ(Query(conn, "Select * from Record where rec_description > ?", {"a"}).RecordCount(), 2);
}

TEST_F(QueryTest, UnclassifiedItemsAndLinks)
{
    const int inTwo = AddRecord("in two");
    const int inOne = AddRecord("in one");
    AddRecord("loose");
    const int holiday = AddCategory("Holiday");
    const int family = AddCategory("Family");
    Link(holiday, inTwo);
    Link(family, inTwo);
    Link(holiday, inOne);
    Link(holiday, inOne);   // the same link again is dropped without an error
    EXPECT_EQ(Query(conn, "Select * from RecordCategory").RecordCount(), 3);

    const std::string columns = "SELECT rec_tnorigname, rec_description, rec_date_added, rec_notes, rec_ident, rec_size ";
    const std::string unclassified = columns
        + "FROM Record LEFT JOIN RecordCategory ON Record.rec_ident = RecordCategory.reccat_record "
          "WHERE (((RecordCategory.reccat_id) Is Null))  order by rec_description";
    auto inCategory = [&](int id) {
        return columns
            + "FROM Record INNER JOIN RecordCategory ON Record.rec_ident = RecordCategory.reccat_record "
              "where RecordCategory.reccat_category = "
            + std::to_string(id) + " order by rec_description";
    };
    EXPECT_EQ(Descriptions(unclassified), (std::vector<std::string>{"loose"}));
    EXPECT_EQ(Descriptions(inCategory(holiday)), (std::vector<std::string>{"in one", "in two"}));
    EXPECT_EQ(Descriptions(inCategory(family)), (std::vector<std::string>{"in two"}));
    EXPECT_EQ(Query(conn, unclassified).RecordCount(), 1);

    // Links go with their category or item.
    conn.Execute("delete from Category where cat_id = " + std::to_string(holiday));
    EXPECT_EQ(Descriptions(unclassified), (std::vector<std::string>{"in one", "loose"}));
    conn.Execute("delete from Record where rec_ident = " + std::to_string(inTwo));
    EXPECT_EQ(Query(conn, "Select * from RecordCategory").RecordCount(), 0);
}

TEST_F(QueryTest, DuplicateLinkInsertedAgainAddsNothingAndNamesNoRow)
{
    const int item = AddRecord("x");
    const int cat = AddCategory("c");
    Link(cat, item);
    TableRow link("RecordCategory");
    link.Set("reccat_category", cat).Set("reccat_record", item);
    EXPECT_EQ(link.Insert(conn), 0);
    EXPECT_EQ(Query(conn, "Select * from RecordCategory").RecordCount(), 1);
}

TEST_F(QueryTest, NamesAreCaseInsensitive)
{
    TableRow row("SPACE");
    row.Set("ST_NUM", 1).Set("st_FreeSpace", 1887436800);
    row.Insert(conn);
    Query check(conn, "Select st_num, [st_freespace] from space");
    EXPECT_EQ(check.AsInteger("ST_NUM"), 1);
    EXPECT_EQ(check.AsInteger("st_freespace"), 1887436800);
}

TEST_F(QueryTest, ChangesMadeInsideATransactionVanishOnRollback)
{
    {
        db::Transaction t(conn);
        AddRecord("gone");
    }
    EXPECT_EQ(Query(conn, "Select * from Record").RecordCount(), 0);
}

TEST_F(QueryTest, MisuseIsReportedNotIgnored)
{
    EXPECT_THROW(TableRow("Record").Set("no_such_column", "x").Insert(conn), DatabaseError);
    EXPECT_THROW(TableRow("NoSuchTable").Set("x", 1).Insert(conn), DatabaseError);
    EXPECT_THROW(TableRow("Record").Set("rec_rank", 1).Update(conn, "no_such_column = 1"), DatabaseError);
    EXPECT_THROW(Query(conn, "Select * from NoSuchTable"), DatabaseError);
    EXPECT_THROW(Query(conn, "Select * from Record where rec_ident = ?", {1, 2}), DatabaseError)
        << "a parameter too many";
    EXPECT_EQ(Query(conn, "Select * from Record").RecordCount(), 0);
}
