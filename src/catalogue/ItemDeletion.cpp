#include "catalogue/ItemDeletion.h"

#include "dialogs/ProgressRoutines.h"
#include "store/Connection.h"
#include "store/ItemRemoval.h"
#include "store/ObjectStore.h"
#include "store/Query.h"

#include <string>

namespace velmora {

void DeleteItemContent(db::Connection& connection, int recIdent, ProgressRoutines& progress)
{
    std::int64_t size = 0;
    std::string description;
    {
        db::Query record(connection, "Select * from Record where rec_ident = " + std::to_string(recIdent));
        if (record.Eof())
            return;
        size = record.AsInteger("rec_size");
        description = record.AsString("rec_description");
    } // closed before other connections write, so its snapshot cannot go stale

    progress.SetProgressItem(description, static_cast<int>(size / kChunkSize + 1));
    if (!BeginItemRemoval(connection, recIdent))
        return;
    FinishItemRemoval(connection, ObjectStore::ForThisThread(), recIdent, progress);
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
        deleted.push_back(recIdent);
        if (progress.ProgressCancelled())
            break;
        progress.StepProgress();
    }
    return deleted;
}

} // namespace velmora
