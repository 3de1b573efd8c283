#pragma once

#include <vector>

namespace velmora {

namespace db {
class Connection;
}
class ProgressRoutines;

// Deletes one item: its Record row and category links at once (it is then listed
// nowhere), then every stored chunk, one step of the item bar each (rec_description as
// its text). Crash-safe: an interrupted delete is finished at the next open, and each
// chunk's space is credited exactly once. Nothing happens for an item that is not there.
void DeleteItemContent(db::Connection& connection, int recIdent, ProgressRoutines& progress);

// "Delete Files": deletes the items in the order given (the list walks from its last
// selected row up), each with its content, its Record row and its category links,
// under the progress window "Deleting Files". Stops after the current item when
// Cancel is pressed. Returns the items deleted; an error ends the walk at its item
// and passes on, the items before it staying deleted.
std::vector<int> DeleteItems(db::Connection& connection, const std::vector<int>& items,
                             ProgressRoutines& progress);

} // namespace velmora
