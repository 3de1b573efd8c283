#pragma once

#include "store/Query.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class ObjectStore;

// The steps every add goes through (NewItem for one item, AddBatch for many).

// Takes count numbers for new items from Record, which never gives one out twice, and
// marks each as pending together with the adding process, in one transaction; then syncs
// it: a number's pending mark is on the disk before the first chunk of its item can be.
// After a power cut, chunks without their mark would belong to no one, and the number,
// not yet taken for good, would be given out again to an item that collides with them.
std::vector<int> TakeItemNumbers(db::Connection& main, int count);
// Drops the pending marks of numbers taken but never given a chunk. The numbers go back
// to Record too when none was taken after them, so that an add that stops early leaves no
// gap in the numbering.
void GiveBackItemNumbers(db::Connection& main, const std::vector<int>& numbers);

// An item whose content is stored, as its Record row will have it.
struct StoredItem {
    int recordIdent = 0;
    std::string fileName;
    std::string description;
    db::Date dateAdded{};
    std::int64_t size = 0;
    int firstStore = 0;
    std::optional<int> categoryId;   // linked when given and still there
};
// Writes the item's Record row and category link and clears its pending mark, inside the
// caller's transaction; the item's chunks must be on the disk already.
void WriteCompletedItem(db::Connection& main, const StoredItem& item);

// Takes back an add that did not complete (chunks, bookings, pending mark), as its
// process does at once when it fails; when that cannot be done now, the mark stays and
// the next opening does it. Never raises.
void TakeBackAdd(ObjectStore& store, int recordIdent);

} // namespace velmora
