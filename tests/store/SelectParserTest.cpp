#include "store/SelectParser.h"

#include <gtest/gtest.h>

using velmora::db::ParseUpdatableSelect;

TEST(SelectParserTest, SingleTableSelectsAreUpdatable)
{
    struct Case {
        const char* sql;
        const char* table;
        std::size_t items;
    };
    for (const auto& c : {Case{"Select * from Record where rec_ident = 0", "Record", 1},
                          Case{"select * from [space]", "space", 1},
                          Case{"SELECT rec_ident, [rec_size] AS size FROM Record r ORDER BY rec_size", "Record", 2},
                          Case{"Select r.* from Record AS r", "Record", 1},
                          Case{"Select * from options;", "options", 1},
                          Case{"Select * From record where rec_description like '%from x join y%'", "record", 1},
                          Case{"Select * from Record where rec_ident in (select reccat_record from RecordCategory)",
                               "Record", 1}}) {
        const auto shape = ParseUpdatableSelect(c.sql);
        ASSERT_TRUE(shape) << c.sql;
        EXPECT_EQ(shape->table, c.table) << c.sql;
        EXPECT_EQ(shape->items.size(), c.items) << c.sql;
    }
    const auto shape = ParseUpdatableSelect("SELECT rec_ident, [rec_size] AS size FROM Record r");
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->items[1].column, "rec_size");
    EXPECT_EQ(shape->items[1].alias, "size");
    EXPECT_EQ(shape->tableRef, "Record r");
}

TEST(SelectParserTest, JoinsGroupsAndExpressionsAreNot)
{
    for (const char* sql :
         {"SELECT rec_ident FROM Record INNER JOIN RecordCategory ON Record.rec_ident = RecordCategory.reccat_record",
          "SELECT rec_ident FROM Record LEFT JOIN RecordCategory ON rec_ident = reccat_record",
          "select * from a, b", "select count(*) from Record", "select distinct rec_size from Record",
          "select max(st_num) from space", "select cat_parent from Category group by cat_parent",
          "select * from Record union select * from Record", "select 1", "update Record set rec_size = 1",
          "PRAGMA journal_mode", "select * from main.Record", "select * from Record where x = 'unterminated"}) {
        EXPECT_FALSE(ParseUpdatableSelect(sql)) << sql;
    }
}
