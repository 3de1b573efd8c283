#include "store/NewItem.h"

#include "store/FileSync.h"
#include "store/ItemRemoval.h"
#include "store/PendingItems.h"
#include "store/ProcessStamp.h"
#include "store/SpaceRecount.h"
#include "store/StoredKey.h"
#include "store/Transaction.h"
#include "ui/ProgressRoutines.h"

#include <stdexcept>
#include <vector>

namespace velmora {

NewItem::NewItem(ObjectStore& store, const std::string& fileName, const std::string& description)
    : m_store(store), m_fileName(fileName), m_description(description), m_dateAdded(db::Today())
{
    db::Connection& main = m_store.MainConnection();
    // Under the lock, the key is the one the library is under now.
    RefreshLibraryKey(main);
    m_recordIdent = TakeItemNumbers(main, 1).front();
}

NewItem::~NewItem()
{
    if (!m_completed)
        TakeBackAdd(m_store, m_recordIdent);
}

void NewItem::Store(Stream& source, std::int64_t size, ProgressRoutines* progress,
                    const TCryptography* encryptedWith)
{
    m_firstStore = m_store.StoreItemContent(source, m_recordIdent, size, progress, encryptedWith);
    m_size = size;
}

void NewItem::Complete(std::optional<int> categoryId)
{
    if (m_firstStore == kEndOfChain)
        throw std::logic_error("An item is complete only once its content is stored");
    db::Connection& main = m_store.MainConnection();
    db::Transaction transaction(main);
    WriteCompletedItem(main, {m_recordIdent, m_fileName, m_description, m_dateAdded, m_size, m_firstStore, categoryId});
    transaction.Commit();
    // The engine syncs its log only at checkpoints: the item must outlive a power cut
    // from here on (its source may be deleted next). Its content is on the disk already
    // (StoreItemContent); an item that cannot be made durable is taken back.
    SyncDatabaseFile(main);
    m_completed = true;
}

int RecoverInterruptedAdds(ObjectStore& store)
{
    db::Connection& main = store.MainConnection();
    std::vector<int> abandoned;
    {
        db::Query pending(main, "Select * from pendingadd");
        for (; !pending.Eof(); pending.Next()) {
            const ProcessStamp owner{pending.AsInteger("pa_pid"), pending.AsInteger("pa_started")};
            if (!owner.IsAlive())
                abandoned.push_back(static_cast<int>(pending.AsInteger("pa_record")));
        }
    }
    if (abandoned.empty())
        return 0;
    // The dead process may have booked space for chunks it never wrote.
    MarkSpaceRecount(main);
    NullProgress quiet;
    for (int recordIdent : abandoned) {
        BeginTakeBack(main, recordIdent);
        FinishItemRemoval(main, store, recordIdent, quiet);
    }
    return static_cast<int>(abandoned.size());
}

} // namespace velmora
