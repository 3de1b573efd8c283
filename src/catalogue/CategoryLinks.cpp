#include "catalogue/CategoryLinks.h"

#include "catalogue/Categories.h"
#include "store/Connection.h"
#include "store/SqlText.h"

#include <exception>

namespace velmora {

namespace {

const char* const kLinkStatement = "Insert into RecordCategory (reccat_category, reccat_record) values (%d,%d)";
const char* const kUnlinkStatement = "delete from RecordCategory where reccat_category = %d and reccat_record = %d";
const char* const kRemoveStatement = "Delete from recordCategory where reccat_category = %d and reccat_record = %d";

} // namespace

bool DropItemsOnCategory(db::Connection& connection, int targetId, std::optional<int> selectedId,
                         const std::vector<int>& items, bool move)
{
    if (targetId == kUnclassifiedId)
        return false;
    const bool unlink = move && selectedId && *selectedId != targetId && *selectedId != kUnclassifiedId;
    for (int item : items) {
        try {
            connection.Execute(SqlFormat(kLinkStatement, targetId, item));
        } catch (const std::exception&) {
            // This item stays where it was; the others are still handled.
            continue;
        }
        if (unlink) {
            try {
                connection.Execute(SqlFormat(kUnlinkStatement, *selectedId, item));
            } catch (const std::exception&) {
            }
        }
    }
    return selectedId && (*selectedId == targetId || *selectedId == kUnclassifiedId || move);
}

std::vector<int> RemoveFromCategory(db::Connection& connection, int categoryId, const std::vector<int>& items)
{
    std::vector<int> removed;
    if (categoryId == kUnclassifiedId)
        return removed;
    for (int item : items) {
        try {
            connection.Execute(SqlFormat(kRemoveStatement, categoryId, item));
        } catch (const std::exception&) {
            break;
        }
        removed.push_back(item);
    }
    return removed;
}

} // namespace velmora
