#pragma once

#include <functional>
#include <vector>

namespace velmora {

namespace db {
class Connection;
}
class ObjectStore;
class ProgressRoutines;

// Deleting an item survives a crash. Its Record row (and with it its category links)
// goes at once, in the transaction that writes the item into the removal journal
// (table pendingdelete); its chunks are then freed one at a time. Each chunk's space is
// credited in the transaction that records it in the journal as freed, and only by the
// process whose record succeeds, so a chunk is credited exactly once even when the
// work is interrupted, or finished by two processes at the same time.
//
// An add that does not complete is taken back the same way, without wiping: its
// source file still exists, and wiping would need as much journal space as it frees.

// Takes the item out of the catalogue and journals its removal; false when there is
// no such item. wipe: freed pages are overwritten with zeros.
bool BeginItemRemoval(db::Connection& main, int recordIdent, bool wipe = true);
// Journals the take-back of an add that did not complete: its pending mark goes, and
// any Record row an earlier version wrote for it.
void BeginTakeBack(db::Connection& main, int recordIdent);
// Frees every chunk of a journalled item found in any store (its chain need not be
// whole), one step of the item bar each, and then ends its journal entry.
void FinishItemRemoval(db::Connection& main, ObjectStore& store, int recordIdent, ProgressRoutines& progress);
// The two halves of it, for many items whose journal entries end together: the freeing,
// which leaves the entry; and the end of the entries of items freed so far, once the
// stores are synced (one sync for them all).
void FreeItemChunks(db::Connection& main, ObjectStore& store, int recordIdent, ProgressRoutines& progress);
void EndItemRemovals(db::Connection& main, ObjectStore& store, const std::vector<int>& recordIdents);
// Runs work; when it meets a full disk, once more after the space reserve has been
// given up and the main journal has made room (ReleaseJournalSpace). A second DiskFull
// passes on.
void WithJournalRoom(ObjectStore& store, const std::function<void()>& work);

// Finishes every removal in the journal under the progress window "Deleting Files"
// (shown only when there is one); returns how many there were.
int FinishInterruptedRemovals(db::Connection& main, ObjectStore& store, ProgressRoutines& progress);

} // namespace velmora
