#pragma once

namespace velmora {

namespace db {
class Connection;
}

// The journal of the space bookkeeping (table spacerecount): whether the free space booked
// for the stores may differ from what their chunks take. Work that a process left
// unfinished (an add's bookings run ahead of its chunks; a delete's credits and the
// freeing of its chunks reach the disk apart) is finished or taken back only after this
// has been recorded, so that even when that work is cut short in turn the space is
// counted again from the chunks (ObjectStore::RebookSpaceWhenIdle clears it) at the first
// opening that finds no add or delete running.

// Whether a count is due. A library whose table could not be added (a full disk) has none.
bool SpaceRecountPending(db::Connection& main);
// Records that a count is due and syncs it to the disk, unless it is recorded already.
void MarkSpaceRecount(db::Connection& main);
// Clears the record, inside the caller's transaction that books the space again.
void ClearSpaceRecount(db::Connection& main);

} // namespace velmora
