#pragma once

#include "store/ContentLock.h"
#include "store/PendingItems.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora {

class ObjectStore;
class ProgressRoutines;
class Stream;
class TCryptography;

// Many items added one after the other whose sources stay where they are (the rows of an
// archive), made durable a block at a time instead of one by one: the numbers of a block
// are taken and marked as pending together (one sync), each item's chunks are stored,
// and the items stored are completed together once their chunks are synced (one
// transaction, one sync). Every journal row is still on the disk before the chunks it
// describes, and no item is completed before its content is on the disk; a power cut
// takes away at most the items of the block under way. Items become visible (listed) as
// their block completes. The content lock is held while a block is under way.
class AddBatch {
public:
    // items: how many the caller means to add (no more numbers are taken than that).
    AddBatch(ObjectStore& store, int items);
    // Completes the items stored so far (what was stored before a failure stays, as when
    // items are added one by one); takes back what it cannot complete, and gives back
    // numbers never used.
    ~AddBatch();
    AddBatch(const AddBatch&) = delete;
    AddBatch& operator=(const AddBatch&) = delete;

    // Stores size bytes of source as a new item (see ObjectStore::StoreItemContent) to
    // be filed under the category, if given and still there when it completes; returns
    // its number. A failure takes back this item alone and passes on.
    int Add(const std::string& fileName, const std::string& description, Stream& source, std::int64_t size,
            std::optional<int> categoryId, ProgressRoutines* progress = nullptr,
            const TCryptography* encryptedWith = nullptr);
    // Completes every item stored so far and syncs it: from here on they outlive a power cut.
    void Complete();

private:
    void TakeNumbers();

    ObjectStore& m_store;
    int m_toCome;
    std::optional<AddLock> m_lock;
    std::deque<int> m_numbers;          // taken, not yet used
    std::vector<StoredItem> m_stored;   // content stored, not yet complete
    std::set<int> m_unsynced;           // stores holding their chunks
    std::int64_t m_storedBytes = 0;
};

} // namespace velmora
