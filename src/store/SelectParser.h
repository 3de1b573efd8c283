#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::db {

// The shape of a select statement over one table, as far as the database layer needs it
// to make the statement updatable: which table, where the select list lies in the text,
// and what each item of the list is. Anything else (joins, grouping, compound selects,
// DISTINCT, expressions in the select list) is not updatable.
struct SelectShape {
    struct Item {
        std::string text;     // the item as written, without its alias
        bool star = false;    // "*" or "table.*"
        std::string column;   // the column named by a plain column reference, unquoted
        std::string alias;    // unquoted; empty when none
    };

    std::string table;        // unquoted, as written
    std::string tableRef;     // the FROM item as written, alias included ("Record r")
    std::size_t listBegin = 0; // offset of the select list in the statement
    std::size_t listEnd = 0;   // offset of FROM
    std::vector<Item> items;
};

// The shape of sql when it is an updatable select over one table, else nothing.
std::optional<SelectShape> ParseUpdatableSelect(std::string_view sql);

// name in double quotes, inner quotes doubled: safe as an SQL identifier.
std::string QuoteIdentifier(std::string_view name);

bool EqualsNoCase(std::string_view a, std::string_view b);

} // namespace velmora::db
