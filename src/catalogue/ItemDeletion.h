#pragma once

#include <vector>

namespace velmora {

namespace db {
class Connection;
}
class ProgressRoutines;

// Frees every stored chunk of the item, following its chain (the item bar: one step
// per chunk, rec_description as its text), then sweeps up any chunk of the item the
// chain did not reach. The Record row stays.
void DeleteItemContent(db::Connection& connection, int recIdent, ProgressRoutines& progress);

// "Delete Files": deletes the items in the order given (the list walks from its last
// selected row up), each with its content, its Record row and its category links,
// under the progress window "Deleting Files". Stops after the current item when
// Cancel is pressed. Returns the items deleted; an error ends the walk at its item
// and passes on, the items before it staying deleted.
std::vector<int> DeleteItems(db::Connection& connection, const std::vector<int>& items,
                             ProgressRoutines& progress);

} // namespace velmora
