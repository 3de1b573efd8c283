#pragma once

#include <optional>
#include <string>

namespace velmora {

class ObjectStore;

// An item being added: its Record row exists, marked as pending together with the
// adding process, until Complete. An add that does not complete is taken back whole
// (chunks, bookings, row) when the object is released, or, if the process died, by
// RecoverInterruptedAdds at the next open. So no half-stored item is ever kept.
class NewItem {
public:
    NewItem(ObjectStore& store, const std::string& fileName, const std::string& description);
    ~NewItem();
    NewItem(const NewItem&) = delete;
    NewItem& operator=(const NewItem&) = delete;

    int RecordIdent() const { return m_recordIdent; }
    // Links the item to a category (when given) and clears the pending mark.
    void Complete(std::optional<int> categoryId = std::nullopt);

private:
    ObjectStore& m_store;
    int m_recordIdent = 0;
    bool m_completed = false;
};

// Takes back the adds of processes that ended before completing them, then
// re-books the space of every store from the chunks it really holds. Returns the
// number of adds taken back.
int RecoverInterruptedAdds(ObjectStore& store);

} // namespace velmora
