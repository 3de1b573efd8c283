#include "store/NewItem.h"

#include "store/LibraryFiles.h"
#include "store/ObjectStore.h"
#include "store/ProcessStamp.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "store/Transaction.h"

#include <filesystem>
#include <vector>

namespace velmora {

namespace {

void RemoveItemRows(db::Connection& main, int recordIdent)
{
    db::Transaction transaction(main);
    main.Execute(SqlFormat("Delete from Record where rec_ident = %d", recordIdent));
    main.Execute(SqlFormat("Delete from pendingadd where pa_record = %d", recordIdent));
    transaction.Commit();
}

} // namespace

NewItem::NewItem(ObjectStore& store, const std::string& fileName, const std::string& description)
    : m_store(store)
{
    db::Connection& main = m_store.MainConnection();
    const ProcessStamp self = ProcessStamp::ThisProcess();
    db::Transaction transaction(main);
    {
        db::Query record(main, "Select * from Record where rec_ident = 0");
        record.Append();
        record.SetString("rec_tnorigname", fileName);
        record.SetString("rec_description", description);
        record.SetDate("rec_date_added", db::Today());
        record.SetInteger("rec_rank", 1);
        record.Post();
        m_recordIdent = static_cast<int>(record.AsInteger("rec_ident"));
    }
    main.Execute(SqlFormat("Insert into pendingadd (pa_record, pa_pid, pa_started) values (%d, %lld, %lld)",
                           m_recordIdent, static_cast<long long>(self.pid),
                           static_cast<long long>(self.started)));
    transaction.Commit();
}

NewItem::~NewItem()
{
    if (m_completed)
        return;
    try {
        m_store.DiscardItemContent(m_recordIdent);
        RemoveItemRows(m_store.MainConnection(), m_recordIdent);
    } catch (const std::exception&) {
        // The pending mark stays; the next open takes the item back.
    }
}

void NewItem::Complete(std::optional<int> categoryId)
{
    db::Connection& main = m_store.MainConnection();
    db::Transaction transaction(main);
    if (categoryId)
        main.Execute(SqlFormat("Insert into RecordCategory (reccat_category, reccat_record) values (%d,%d)",
                               *categoryId, m_recordIdent));
    main.Execute(SqlFormat("Delete from pendingadd where pa_record = %d", m_recordIdent));
    transaction.Commit();
    m_completed = true;
}

int RecoverInterruptedAdds(ObjectStore& store)
{
    db::Connection& main = store.MainConnection();
    std::vector<int> abandoned;
    bool liveAdds = false;
    {
        db::Query pending(main, "Select * from pendingadd");
        for (; !pending.Eof(); pending.Next()) {
            const ProcessStamp owner{pending.AsInteger("pa_pid"), pending.AsInteger("pa_started")};
            if (owner.IsAlive())
                liveAdds = true;
            else
                abandoned.push_back(static_cast<int>(pending.AsInteger("pa_record")));
        }
    }
    if (abandoned.empty())
        return 0;
    for (int recordIdent : abandoned) {
        store.DiscardItemContent(recordIdent);
        RemoveItemRows(main, recordIdent);
    }
    // A process that died between booking space and placing a chunk left the booking
    // behind; counting the chunks each store holds puts that right. Not while another
    // add is running: its bookings ahead of its chunks are not lost.
    if (liveAdds)
        return static_cast<int>(abandoned.size());
    std::vector<int> stores;
    {
        db::Query space(main, "Select * From [space] where st_num <> 0 order by st_num");
        for (; !space.Eof(); space.Next())
            stores.push_back(static_cast<int>(space.AsInteger("st_num")));
    }
    for (int storeNo : stores) {
        if (!std::filesystem::exists(JoinPath(GetDataDir(), StoreFileName(storeNo))))
            continue;
        std::int64_t chunks = 0;
        {
            db::Query count(store.StoreConnection(storeNo), "Select count(*) as n from recobject");
            chunks = count.AsInteger("n");
        }
        main.Execute(SqlFormat("Update [space] set st_freespace = %lld where st_num = %d",
                               static_cast<long long>(kStoreCapacity - kChunkCharge * chunks), storeNo));
    }
    return static_cast<int>(abandoned.size());
}

} // namespace velmora
