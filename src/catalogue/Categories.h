#pragma once

#include <string>
#include <vector>

namespace velmora {

namespace db {
class Connection;
}

// The pseudo-category of items filed nowhere: node data 0, never a Category row.
inline constexpr int kUnclassifiedId = 0;
inline constexpr const char* kUnclassifiedText = "<Unclassified>";
inline constexpr const char* kNewCategoryName = "New Category";
inline constexpr const char* kNewSubcategoryName = "New Subcategory";

// Appends a Category row below parentId (0: top level) and returns its cat_id.
int InsertCategory(db::Connection& connection, int parentId, const std::string& name);
// "Add Category": a top-level "New Category".
int AddCategory(db::Connection& connection);
// "Add Subcategory": a "New Subcategory" below a category; "<Unclassified>" takes none
// (std::invalid_argument).
int AddSubcategory(db::Connection& connection, int parentId);
// Stores the new name as typed, apostrophes included. "<Unclassified>" cannot be
// renamed (std::invalid_argument).
void RenameCategory(db::Connection& connection, int categoryId, const std::string& name);
bool CategoryExists(db::Connection& connection, int categoryId);

// Deletes the category with every category below it, each after its own subcategories,
// all or nothing. Their links go with them; the items stay in the library. Returns the
// ids deleted, the category itself last. "<Unclassified>" cannot be deleted
// (std::invalid_argument).
std::vector<int> DeleteCategory(db::Connection& connection, int categoryId);

} // namespace velmora
