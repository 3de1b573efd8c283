#include "catalogue/ItemDeletion.h"

#include "store/Connection.h"
#include "store/ItemRemoval.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "ui/ProgressRoutines.h"

#include <string>

namespace velmora {

namespace {

// Takes the item out of the catalogue and frees its chunks, leaving its journal entry;
// false when there is no such item.
bool RemoveItem(db::Connection& connection, int recIdent, ProgressRoutines& progress)
{
    std::int64_t size = 0;
    std::string description;
    {
        db::Query record(connection, "Select * from Record where rec_ident = " + std::to_string(recIdent));
        if (record.Eof())
            return false;
        size = record.AsInteger("rec_size");
        description = record.AsString("rec_description");
    } // closed before other connections write, so its snapshot cannot go stale

    progress.SetProgressItem(description, static_cast<int>(size / kChunkSize + 1));
    if (!BeginItemRemoval(connection, recIdent))
        return false;
    FreeItemChunks(connection, ObjectStore::ForThisThread(), recIdent, progress);
    return true;
}

// The journal entries of the items removed so far, ended together (one sync of the
// stores for them all) by End, or when the walk ends early.
class RemovedItems {
public:
    explicit RemovedItems(db::Connection& connection) : m_connection(connection) {}
    ~RemovedItems()
    {
        try {
            End();
        } catch (const std::exception&) {
            // The entries stay; the next opening ends them.
        }
    }
    RemovedItems(const RemovedItems&) = delete;
    RemovedItems& operator=(const RemovedItems&) = delete;

    void Add(int recIdent) { m_items.push_back(recIdent); }
    void End()
    {
        EndItemRemovals(m_connection, ObjectStore::ForThisThread(), m_items);
        m_items.clear();
    }

private:
    db::Connection& m_connection;
    std::vector<int> m_items;
};

} // namespace

void DeleteItemContent(db::Connection& connection, int recIdent, ProgressRoutines& progress)
{
    RemovedItems removed(connection);
    if (RemoveItem(connection, recIdent, progress))
        removed.Add(recIdent);
    removed.End();
}

std::vector<int> DeleteItems(db::Connection& connection, const std::vector<int>& items,
                             ProgressRoutines& progress)
{
    std::vector<int> deleted;
    progress.ShowProgress("Deleting Files", false);
    ProgressScope scope(progress);
    progress.SetProgressTotal("Deleting Files", static_cast<int>(items.size()));
    RemovedItems removed(connection);
    for (int recIdent : items) {
        if (RemoveItem(connection, recIdent, progress))
            removed.Add(recIdent);
        deleted.push_back(recIdent);
        if (progress.ProgressCancelled())
            break;
        progress.StepProgress();
    }
    removed.End();
    return deleted;
}

} // namespace velmora
