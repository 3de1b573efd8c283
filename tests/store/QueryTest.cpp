#include "store/DatabaseTestSupport.h"

#include "store/DatabaseError.h"
#include "store/Query.h"
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
        Query q(conn, "Select * from Record where rec_ident = 0");
        EXPECT_TRUE(q.Eof());
        q.Append();
        q.SetString("rec_tnorigname", description + ".jpg");
        q.SetString("rec_description", description);
        q.SetInteger("rec_rank", 1);
        q.Post();
        return static_cast<int>(q.AsInteger("rec_ident"));
    }

    int AddCategory(const std::string& name, int parent = 0)
    {
        Query q(conn, "Select * from Category where cat_id = 0");
        q.Append();
        q.SetInteger("cat_parent", parent);
        q.SetString("cat_description", name);
        q.Post();
        return static_cast<int>(q.AsInteger("cat_id"));
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

TEST_F(QueryTest, AppendedRowBecomesCurrentWithItsAutoNumber)
{
    const int first = AddRecord("one");
    const int second = AddRecord("two");
    EXPECT_GT(first, 0);
    EXPECT_EQ(second, first + 1);

    Query q(conn, "Select * from Record where rec_ident = 0");
    q.Append();
    q.SetString("rec_description", "three");
    q.Post();
    EXPECT_FALSE(q.Eof());
    EXPECT_EQ(q.AsInteger("REC_IDENT"), second + 1);
    EXPECT_EQ(q.AsString("rec_description"), "three");
    EXPECT_TRUE(q.IsNull("rec_notes"));
    q.Next();
    EXPECT_TRUE(q.Eof());
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

TEST_F(QueryTest, EditPostAndDeleteWorkOnTheCurrentRow)
{
    AddRecord("alpha");
    const int beta = AddRecord("beta");
    AddRecord("gamma");
    {
        Query q(conn, "Select * from Record where rec_ident = " + std::to_string(beta));
        q.Edit();
        q.SetString("rec_description", "Beta's new name");
        EXPECT_EQ(q.AsString("rec_description"), "Beta's new name");   // the pending value
        q.Post();
        EXPECT_EQ(q.AsString("rec_description"), "Beta's new name");
    }
    EXPECT_EQ(Descriptions("Select * from Record order by rec_ident"),
              (std::vector<std::string>{"alpha", "Beta's new name", "gamma"}));
    {
        // Setting a field of the current row starts the edit; moving on posts it.
        Query q(conn, "Select rec_ident, rec_description from Record order by rec_ident");
        q.SetString("rec_description", "ALPHA");
        q.Next();
        EXPECT_EQ(q.AsString("rec_description"), "Beta's new name");
        q.Delete();   // beta; stands on gamma now
        ASSERT_FALSE(q.Eof());
        EXPECT_EQ(q.AsString("rec_description"), "gamma");
        q.Edit();
        q.SetString("rec_description", "dropped");
        q.Cancel();
        q.Next();
        EXPECT_TRUE(q.Eof());
    }
    EXPECT_EQ(Descriptions("Select * from Record order by rec_ident"), (std::vector<std::string>{"ALPHA", "gamma"}));
}

TEST_F(QueryTest, TextDatesBooleansAndNullsRoundTrip)
{
    const std::string awkward = "O'Brien's \"quoted\" ; -- text, naïve";
    const Date day = sys_days{2004y / March / 7};
    {
        Query q(conn, "Select * from Record where rec_ident = 0");
        q.Append();
        q.SetString("rec_description", awkward);
        q.SetDate("rec_date_added", day);
        q.SetInteger("rec_size", 3000000000LL);
        q.SetNull("rec_notes");
        q.Post();
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

    // The same text found again through a statement with the quote doubled.
    Query found(conn, "Select * from Record where rec_description = 'O''Brien''s \"quoted\" ; -- text, naïve'");
    EXPECT_FALSE(found.Eof());

    Query options(conn, "Select * from options");
    options.Edit();
    options.SetBoolean("opt_defdelete", true);
    options.SetBoolean("opt_enableThumb", false);
    options.Post();
    Query again(conn, "Select * from options");
    EXPECT_TRUE(again.AsBoolean("opt_defdelete"));
    EXPECT_FALSE(again.AsBoolean("OPT_ENABLETHUMB"));
    EXPECT_EQ(again.AsInteger("opt_defdelete"), 1);
}

TEST_F(QueryTest, CursorMovesAndCounts)
{
    for (const char* name : {"c", "a", "b"})
        AddRecord(name);
    Query q(conn, "Select * from Record order by rec_description");
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
    {
        Query join(conn, unclassified);
        EXPECT_FALSE(join.Updatable());
        EXPECT_THROW(join.Append(), DatabaseError);
        EXPECT_EQ(join.RecordCount(), 1);
    }

    // Links go with their category or item.
    conn.Execute("delete from Category where cat_id = " + std::to_string(holiday));
    EXPECT_EQ(Descriptions(unclassified), (std::vector<std::string>{"in one", "loose"}));
    conn.Execute("delete from Record where rec_ident = " + std::to_string(inTwo));
    EXPECT_EQ(Query(conn, "Select * from RecordCategory").RecordCount(), 0);
}

TEST_F(QueryTest, DuplicateLinkAppendedThroughAQueryLeavesNoStrayCurrentRow)
{
    const int item = AddRecord("x");
    const int cat = AddCategory("c");
    Link(cat, item);
    Query q(conn, "Select * from RecordCategory where reccat_id = 0");
    q.Append();
    q.SetInteger("reccat_category", cat);
    q.SetInteger("reccat_record", item);
    q.Post();
    EXPECT_TRUE(q.Eof());
    EXPECT_EQ(Query(conn, "Select * from RecordCategory").RecordCount(), 1);
}

TEST_F(QueryTest, BracketedNamesAndCaseInsensitiveNames)
{
    Query q(conn, "select * from [SPACE] where st_num = 0");
    EXPECT_TRUE(q.Updatable());
    q.Append();
    q.SetInteger("ST_NUM", 1);
    q.SetInteger("st_FreeSpace", 1887436800);
    q.Post();
    EXPECT_EQ(q.AsInteger("st_freespace"), 1887436800);
    Query check(conn, "Select st_num, [st_freespace] from space");
    EXPECT_EQ(check.AsInteger("ST_NUM"), 1);
    EXPECT_EQ(check.AsInteger("st_freespace"), 1887436800);
}

TEST_F(QueryTest, ChangesPostedInsideATransactionVanishOnRollback)
{
    {
        db::Transaction t(conn);
        AddRecord("gone");
    }
    EXPECT_EQ(Query(conn, "Select * from Record").RecordCount(), 0);
}

TEST_F(QueryTest, MisuseIsReportedNotIgnored)
{
    Query empty(conn, "Select * from Record where rec_ident = 0");
    EXPECT_THROW(empty.Edit(), DatabaseError);
    EXPECT_THROW(empty.Delete(), DatabaseError);
    EXPECT_THROW(empty.SetString("rec_description", "x"), DatabaseError);
    empty.Append();
    EXPECT_THROW(empty.SetString("no_such_column", "x"), DatabaseError);
    EXPECT_THROW(Query(conn, "Select * from NoSuchTable"), DatabaseError);
}
