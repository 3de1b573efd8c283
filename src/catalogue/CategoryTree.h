#pragma once

#include <map>
#include <string>
#include <vector>

namespace velmora {

namespace db {
class Connection;
}

// One node of the category tree as plain data: what the tree widget shows.
struct CategoryNode {
    int id = 0;          // cat_id; 0 for "<Unclassified>"
    int parent = 0;      // cat_parent; 0 at the top level
    std::string description;
    std::vector<CategoryNode> children;
};

// The categories below parentId (0: the top level) with everything below them, loaded
// depth first, each level in the order the database sorts cat_description. Only
// categories reachable from the top level appear: one whose parent is missing is
// never shown.
std::vector<CategoryNode> LoadCategoryChildren(db::Connection& connection, int parentId);
// The whole tree: "<Unclassified>" first, then the top-level categories.
std::vector<CategoryNode> BuildCategoryTree(db::Connection& connection);

// Items filed directly under each category (links to existing items), by cat_id;
// categories without items are absent.
std::map<int, int> CountItemsPerCategory(db::Connection& connection);
// Items without any link: what "<Unclassified>" lists.
int CountUnclassifiedItems(db::Connection& connection);

} // namespace velmora
