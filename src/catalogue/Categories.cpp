#include "catalogue/Categories.h"

#include "store/Connection.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "store/TableRow.h"
#include "store/Transaction.h"

#include <set>
#include <stdexcept>

namespace velmora {

namespace {

std::vector<int> SubcategoryIds(db::Connection& connection, int categoryId)
{
    std::vector<int> ids;
    db::Query children(connection, SqlFormat("Select * from Category where cat_parent = %d", categoryId));
    for (; !children.Eof(); children.Next())
        ids.push_back(static_cast<int>(children.AsInteger("cat_id")));
    return ids;
}

// Depth first: every category is deleted after all of its own subcategories. The
// visited set keeps a row that names itself as its parent from recursing for ever.
void DeleteSubcategories(db::Connection& connection, int categoryId, std::set<int>& visited,
                         std::vector<int>& deleted)
{
    for (int child : SubcategoryIds(connection, categoryId)) {
        if (!visited.insert(child).second)
            continue;
        DeleteSubcategories(connection, child, visited, deleted);
        connection.Execute(SqlFormat("delete from Category where cat_id = %d", child));
        deleted.push_back(child);
    }
}

} // namespace

int InsertCategory(db::Connection& connection, int parentId, const std::string& name)
{
    db::TableRow category("Category");
    category.Set("cat_parent", parentId).Set("cat_description", name);
    return static_cast<int>(category.Insert(connection));
}

int AddCategory(db::Connection& connection)
{
    return InsertCategory(connection, kUnclassifiedId, kNewCategoryName);
}

int AddSubcategory(db::Connection& connection, int parentId)
{
    if (parentId == kUnclassifiedId)
        throw std::invalid_argument("\"<Unclassified>\" cannot have subcategories");
    return InsertCategory(connection, parentId, kNewSubcategoryName);
}

void RenameCategory(db::Connection& connection, int categoryId, const std::string& name)
{
    if (categoryId == kUnclassifiedId)
        throw std::invalid_argument("\"<Unclassified>\" cannot be renamed");
    db::TableRow("Category").Set("cat_description", name).Update(connection, "cat_id = ?", {categoryId});
}

bool CategoryExists(db::Connection& connection, int categoryId)
{
    if (categoryId == kUnclassifiedId)
        return false;
    db::Query category(connection, SqlFormat("Select cat_id from Category where cat_id = %d", categoryId));
    return !category.Eof();
}

std::vector<int> DeleteCategory(db::Connection& connection, int categoryId)
{
    if (categoryId == kUnclassifiedId)
        throw std::invalid_argument("\"<Unclassified>\" cannot be deleted");
    // Taken before the first read, so that the reads and deletes see one state.
    db::Transaction transaction(connection);
    std::set<int> visited{categoryId};
    std::vector<int> deleted;
    DeleteSubcategories(connection, categoryId, visited, deleted);
    connection.Execute(SqlFormat("delete from Category where cat_id = %d", categoryId));
    deleted.push_back(categoryId);
    transaction.Commit();
    return deleted;
}

} // namespace velmora
