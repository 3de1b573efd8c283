#pragma once

#include <optional>
#include <vector>

namespace velmora {

namespace db {
class Connection;
}

// List items dropped on a category: each is linked to the target (copy) and, for a
// move, unlinked from the category selected in the tree. A link that cannot be made
// or removed is skipped and the rest are still handled. Nothing happens when the
// target is "<Unclassified>"; a move onto the selected category itself changes
// nothing (it would otherwise unlink the items it just kept). Returns whether the
// list of the selected node must be reloaded.
bool DropItemsOnCategory(db::Connection& connection, int targetId, std::optional<int> selectedId,
                         const std::vector<int>& items, bool move);

// "Remove Files from Category": unlinks the items from the category in the order
// given, stopping at the first statement that fails. Nothing for "<Unclassified>".
// Returns the items unlinked.
std::vector<int> RemoveFromCategory(db::Connection& connection, int categoryId,
                                    const std::vector<int>& items);

} // namespace velmora
