#include "catalogue/ItemDeletion.h"

#include "dialogs/ProgressRoutines.h"
#include "store/Connection.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include <string>

namespace velmora {

void DeleteItemContent(db::Connection& connection, int recIdent, ProgressRoutines& progress)
{
    std::int64_t size = 0;
    std::string description;
    int storeNo = kEndOfChain;
    {
        db::Query record(connection, "Select * from Record where rec_ident = " + std::to_string(recIdent));
        if (record.Eof())
            return;
        size = record.AsInteger("rec_size");
        description = record.AsString("rec_description");
        if (!record.IsNull("rec_objstore") && record.AsInteger("rec_objstore") > 0)
            storeNo = static_cast<int>(record.AsInteger("rec_objstore"));
    } // closed before other connections write, so its snapshot cannot go stale

    progress.SetProgressItem(description, static_cast<int>(size / kChunkSize + 1));
    ObjectStore& store = ObjectStore::ForThisThread();
    int chunkNo = 1;
    std::int64_t freed = 0;
    while (store.FreeObjectChunk(recIdent, chunkNo, storeNo, progress))
        ++freed;
    // A chain that broke off (or never began) leaves chunks no walk can reach.
    if (freed < ChunkCount(size))
        store.DiscardItemContent(recIdent);
}

std::vector<int> DeleteItems(db::Connection& connection, const std::vector<int>& items,
                             ProgressRoutines& progress)
{
    std::vector<int> deleted;
    progress.ShowProgress("Deleting Files", false);
    ProgressScope scope(progress);
    progress.SetProgressTotal("Deleting Files", static_cast<int>(items.size()));
    for (int recIdent : items) {
        DeleteItemContent(connection, recIdent, progress);
        // Its RecordCategory rows go with it (the schema's trigger).
        connection.Execute(SqlFormat("Delete from record where rec_ident = %d", recIdent));
        deleted.push_back(recIdent);
        if (progress.ProgressCancelled())
            break;
        progress.StepProgress();
    }
    return deleted;
}

} // namespace velmora
