#include "store/NewItem.h"

#include "store/FileSync.h"
#include "store/ItemRemoval.h"
#include "store/LibraryFiles.h"
#include "store/ProcessStamp.h"
#include "store/SpaceRecount.h"
#include "store/SqlText.h"
#include "store/StoredKey.h"
#include "store/Transaction.h"
#include "ui/ProgressRoutines.h"

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace velmora {

NewItem::NewItem(ObjectStore& store, const std::string& fileName, const std::string& description)
    : m_store(store), m_fileName(fileName), m_description(description), m_dateAdded(db::Today())
{
    db::Connection& main = m_store.MainConnection();
    // Under the lock, the key is the one the library is under now.
    RefreshLibraryKey(main);
    const ProcessStamp self = ProcessStamp::ThisProcess();
    db::Transaction transaction(main);
    {
        // The number comes from Record itself, which never gives one out twice; the row
        // goes again at once and comes back complete.
        db::Query record(main, "Select * from Record where rec_ident = 0");
        record.Append();
        record.SetString("rec_tnorigname", fileName);
        record.Post();
        m_recordIdent = static_cast<int>(record.AsInteger("rec_ident"));
        record.Delete();
    }
    main.Execute(SqlFormat("Insert into pendingadd (pa_record, pa_pid, pa_started) values (%d, %lld, %lld)",
                           m_recordIdent, static_cast<long long>(self.pid), static_cast<long long>(self.started)));
    transaction.Commit();
    // On the disk before the first chunk of the item can be: after a power cut, chunks
    // without their pending mark would belong to no one, and the number, not yet taken
    // for good, would be given out again to an item that then collides with them.
    SyncDatabaseFile(main);
}

NewItem::~NewItem()
{
    if (m_completed)
        return;
    try {
        WithJournalRoom(m_store, [this] {
            db::Connection& main = m_store.MainConnection();
            // Bookings the failure could not give back are counted again from the chunks,
            // now if no other add or delete runs, else at a later opening.
            if (m_store.BookingsAdrift())
                MarkSpaceRecount(main);
            BeginTakeBack(main, m_recordIdent);
            NullProgress quiet;
            FinishItemRemoval(main, m_store, m_recordIdent, quiet);
            if (SpaceRecountPending(main))
                m_store.RebookSpaceWhenIdle();
        });
    } catch (const std::exception&) {
        // The pending mark or the journal entry stays; the next open finishes the take-back.
    }
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
    {
        db::Query record(main, "Select * from Record where rec_ident = 0");
        record.Append();
        record.SetInteger("rec_ident", m_recordIdent);
        record.SetString("rec_tnorigname", m_fileName);
        record.SetString("rec_description", m_description);
        record.SetDate("rec_date_added", m_dateAdded);
        record.SetInteger("rec_rank", 1);
        record.SetInteger("rec_size", m_size);
        record.SetInteger("rec_objstore", m_firstStore);
        record.Post();
    }
    if (categoryId)
        main.Execute(SqlFormat("Insert into RecordCategory (reccat_category, reccat_record) values (%d,%d)",
                               *categoryId, m_recordIdent));
    main.Execute(SqlFormat("Delete from pendingadd where pa_record = %d", m_recordIdent));
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
