#pragma once

#include "store/ContentLock.h"
#include "store/ObjectStore.h"
#include "store/Query.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class ProgressRoutines;
class Stream;

// An item being added. Its number is taken at once, and marked as pending together
// with the adding process; its Record row is written only by Complete, so no listing,
// search, preview, stream or export ever meets an item whose content is not all there.
// An add that does not complete is taken back whole (chunks, bookings) when the object
// is released, or, if the process died, by RecoverInterruptedAdds at the next open.
// The add holds the content lock throughout, so no password change runs meanwhile.
class NewItem {
public:
    NewItem(ObjectStore& store, const std::string& fileName, const std::string& description);
    ~NewItem();
    NewItem(const NewItem&) = delete;
    NewItem& operator=(const NewItem&) = delete;

    int RecordIdent() const { return m_recordIdent; }
    // Stores exactly size bytes of source as the item's content (see StoreItemContent).
    void Store(Stream& source, std::int64_t size, ProgressRoutines* progress = nullptr,
               const TCryptography* encryptedWith = nullptr);
    // Writes the item's row, links it to a category (when given) and clears the
    // pending mark, all at once, and syncs that to the disk. Only after Store.
    void Complete(std::optional<int> categoryId = std::nullopt);

private:
    ObjectStore& m_store;
    AddLock m_lock;
    std::string m_fileName;
    std::string m_description;
    db::Date m_dateAdded;
    int m_recordIdent = 0;
    std::int64_t m_size = 0;
    int m_firstStore = kEndOfChain;
    bool m_completed = false;
};

// Takes back the adds of processes that ended before completing them, having recorded
// that the space is to be counted again from the chunks (SpaceRecount.h). Returns the
// number of adds taken back.
int RecoverInterruptedAdds(ObjectStore& store);

} // namespace velmora
