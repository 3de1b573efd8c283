#include "catalogue/CategoryTree.h"

#include "catalogue/Categories.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include <set>

namespace velmora {

namespace {

void LoadLevel(db::Connection& connection, int parentId, std::vector<CategoryNode>& level,
               std::set<int>& seen)
{
    {
        db::Query rows(connection, SqlFormat("Select * from Category where cat_parent = %d order by cat_description",
                                             parentId));
        for (; !rows.Eof(); rows.Next()) {
            const int id = static_cast<int>(rows.AsInteger("cat_id"));
            // A row that is its own ancestor would otherwise be loaded for ever.
            if (!seen.insert(id).second)
                continue;
            level.push_back({id, parentId, rows.AsString("cat_description"), {}});
        }
    }
    for (auto& node : level)
        LoadLevel(connection, node.id, node.children, seen);
}

} // namespace

std::vector<CategoryNode> LoadCategoryChildren(db::Connection& connection, int parentId)
{
    std::vector<CategoryNode> level;
    std::set<int> seen{parentId};
    LoadLevel(connection, parentId, level, seen);
    return level;
}

std::vector<CategoryNode> BuildCategoryTree(db::Connection& connection)
{
    std::vector<CategoryNode> tree;
    tree.push_back({kUnclassifiedId, kUnclassifiedId, kUnclassifiedText, {}});
    for (auto& node : LoadCategoryChildren(connection, kUnclassifiedId))
        tree.push_back(std::move(node));
    return tree;
}

std::map<int, int> CountItemsPerCategory(db::Connection& connection)
{
    std::map<int, int> counts;
    db::Query rows(connection,
                   "Select reccat_category, count(*) as n FROM Record INNER JOIN RecordCategory "
                   "ON Record.rec_ident = RecordCategory.reccat_record group by reccat_category");
    for (; !rows.Eof(); rows.Next())
        counts[static_cast<int>(rows.AsInteger("reccat_category"))] = static_cast<int>(rows.AsInteger("n"));
    return counts;
}

int CountUnclassifiedItems(db::Connection& connection)
{
    db::Query rows(connection,
                   "Select count(*) as n FROM Record LEFT JOIN RecordCategory "
                   "ON Record.rec_ident = RecordCategory.reccat_record WHERE RecordCategory.reccat_id Is Null");
    return static_cast<int>(rows.AsInteger("n"));
}

} // namespace velmora
