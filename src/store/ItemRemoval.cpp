#include "store/ItemRemoval.h"

#include "store/DatabaseError.h"
#include "store/FileSync.h"
#include "store/LibraryFiles.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SpaceRecount.h"
#include "store/SpaceReserve.h"
#include "store/SqlText.h"
#include "store/Transaction.h"
#include "ui/ProgressRoutines.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

namespace {

// pd_freedchunk for a removal step that freed every chunk of the item in a store.
constexpr int kAllChunks = -1;

struct JournalEntry {
    std::int64_t step = 0;
    int freedChunk = 0;
    int freedStore = kEndOfChain;
    bool wipe = true;
};

std::optional<JournalEntry> ReadEntry(db::Connection& main, int recordIdent)
{
    db::Query entry(main, SqlFormat("Select * from pendingdelete where pd_record = %d", recordIdent));
    if (entry.Eof())
        return std::nullopt;
    return JournalEntry{entry.AsInteger("pd_step"), static_cast<int>(entry.AsInteger("pd_freedchunk")),
                        static_cast<int>(entry.AsInteger("pd_freedstore")), entry.AsBoolean("pd_wipe")};
}

// The stores that exist, in order.
std::vector<int> ExistingStores(db::Connection& main)
{
    std::vector<int> stores;
    db::Query space(main, "Select st_num From [space] where st_num <> 0 order by st_num");
    for (; !space.Eof(); space.Next()) {
        const int storeNo = static_cast<int>(space.AsInteger("st_num"));
        if (std::filesystem::exists(JoinPath(GetDataDir(), StoreFileName(storeNo))))
            stores.push_back(storeNo);
    }
    return stores;
}

// Freed pages are zeroed unless told otherwise; the connection's setting is put back
// however the delete ends.
class WipeSetting {
public:
    WipeSetting(db::Connection& store, bool wipe) : m_store(store) { Set(wipe); }
    ~WipeSetting()
    {
        try {
            Set(true);
        } catch (const std::exception&) {
            // Nothing more to be done; the delete's own outcome is what counts.
        }
    }
    WipeSetting(const WipeSetting&) = delete;
    WipeSetting& operator=(const WipeSetting&) = delete;
    void Set(bool wipe) { m_store.Execute(wipe ? "PRAGMA secure_delete = 1" : "PRAGMA secure_delete = 0"); }

private:
    db::Connection& m_store;
};

std::int64_t FreePages(db::Connection& store)
{
    db::Query pages(store, "PRAGMA freelist_count");
    return pages.Eof() ? 0 : pages.AsInteger("freelist_count");
}

// What an add that filled the disk took goes back to the disk (in a store made with
// incremental vacuum; others keep the pages for later chunks). No more pages than the
// take-back freed: those of earlier deletes stay where they are, since filling their
// gaps would move pages through the journal. A few pages per transaction, so that the
// pages being dropped never spill from the cache into the journal.
void GiveBackFreedPages(db::Connection& store, std::int64_t freed)
{
    constexpr std::int64_t kPagesAtATime = 32;
    while (freed > 0) {
        const std::int64_t before = FreePages(store);
        store.Execute(SqlFormat("PRAGMA incremental_vacuum(%lld)",
                                static_cast<long long>(std::min(freed, kPagesAtATime))));
        const std::int64_t dropped = before - FreePages(store);
        if (dropped <= 0)
            break;   // no vacuum in this store
        freed -= dropped;
    }
}

// One chunk of the item, or with kAllChunks every chunk of it in the store.
void DeleteChunks(db::Connection& store, int recordIdent, int chunkNo, bool wipe)
{
    const std::string remove =
        chunkNo == kAllChunks
            ? SqlFormat("Delete from recobject where ro_record = %d", recordIdent)
            : SqlFormat("Delete from recobject where ro_record = %d and ro_chunk = %d", recordIdent, chunkNo);
    const std::int64_t freeBefore = FreePages(store);
    WipeSetting setting(store, wipe);
    try {
        store.Execute(remove);
    } catch (const db::DiskFull&) {
        if (!wipe)
            throw;
        // Zeroing the freed pages needs journal room for all of them; on a full disk
        // the delete goes ahead without it rather than staying half done.
        setting.Set(false);
        store.Execute(remove);
    }
    if (!wipe)
        GiveBackFreedPages(store, FreePages(store) - freeBefore);
}

} // namespace

bool BeginItemRemoval(db::Connection& main, int recordIdent, bool wipe)
{
    db::Transaction transaction(main);
    std::int64_t size = 0;
    std::string description;
    {
        db::Query record(main, "Select * from Record where rec_ident = " + std::to_string(recordIdent));
        if (record.Eof())
            return false;
        size = record.AsInteger("rec_size");
        description = record.AsString("rec_description");
    }
    {
        db::Statement journal(main.Handle(),
                              "Insert or ignore into pendingdelete (pd_record, pd_wipe, pd_size, pd_description) "
                              "values (?, ?, ?, ?)",
                              main.DataSource());
        journal.BindInt64(1, recordIdent);
        journal.BindInt64(2, wipe ? 1 : 0);
        journal.BindInt64(3, size);
        journal.BindText(4, description);
        journal.Run();
    }
    // Its RecordCategory rows go with it (the schema's trigger).
    main.Execute(SqlFormat("Delete from record where rec_ident = %d", recordIdent));
    transaction.Commit();
    // On the disk before the first chunk is freed: after a power cut the item must not be
    // listed with part of its content gone, nor deleted a second time without its journal.
    SyncDatabaseFile(main);
    return true;
}

void BeginTakeBack(db::Connection& main, int recordIdent)
{
    db::Transaction transaction(main);
    main.Execute(SqlFormat("Insert or ignore into pendingdelete (pd_record, pd_wipe) values (%d, 0)", recordIdent));
    main.Execute(SqlFormat("Delete from pendingadd where pa_record = %d", recordIdent));
    main.Execute(SqlFormat("Delete from Record where rec_ident = %d", recordIdent));
    transaction.Commit();
}

void FreeItemChunks(db::Connection& main, ObjectStore& store, int recordIdent, ProgressRoutines& progress)
{
    const std::vector<int> stores = ExistingStores(main);
    std::size_t storeIndex = 0;   // stores before it hold nothing of the item any more
    while (const std::optional<JournalEntry> entry = ReadEntry(main, recordIdent)) {
        // Credited last time, perhaps not deleted: deleted now, without a second credit.
        if (entry->freedStore != kEndOfChain &&
            std::find(stores.begin(), stores.end(), entry->freedStore) != stores.end())
            DeleteChunks(store.StoreConnection(entry->freedStore), recordIdent, entry->freedChunk, entry->wipe);

        // Wiped chunks go one at a time, each transaction a chunk's worth of journal;
        // unwiped ones all at once per store, a few pages of journal in all.
        int chunkNo = 0;
        std::int64_t chunks = 0;
        for (; storeIndex < stores.size(); ++storeIndex) {
            db::Query found(store.StoreConnection(stores[storeIndex]),
                            SqlFormat("Select min(ro_chunk) as first, count(*) as n from recobject where ro_record = %d",
                                      recordIdent));
            chunks = found.AsInteger("n");
            if (chunks > 0) {
                chunkNo = entry->wipe ? static_cast<int>(found.AsInteger("first")) : kAllChunks;
                if (entry->wipe)
                    chunks = 1;
                break;
            }
        }

        if (chunks == 0)
            return;   // whoever freed them, none is left
        db::Transaction transaction(main);
        const int storeNo = stores[storeIndex];
        main.Execute(SqlFormat("Update pendingdelete set pd_step = pd_step + 1, pd_freedchunk = %d, pd_freedstore = %d "
                               "where pd_record = %d and pd_step = %lld",
                               chunkNo, storeNo, recordIdent, static_cast<long long>(entry->step)));
        if (main.RowsAffected() != 1)
            continue;   // another process credited this step; the rollback leaves it to it
        main.Execute(SqlFormat("Update [space] set st_freespace = st_freespace + %lld where st_num = %d",
                               static_cast<long long>(kChunkCharge * chunks), storeNo));
        transaction.Commit();
        DeleteChunks(store.StoreConnection(storeNo), recordIdent, chunkNo, entry->wipe);
        for (std::int64_t i = 0; i < chunks; ++i)
            progress.StepItemProgress();
    }
}

void EndItemRemovals(db::Connection& main, ObjectStore& store, const std::vector<int>& recordIdents)
{
    if (recordIdents.empty())
        return;
    // The journal goes only once the freed chunks are gone on the disk too, by whichever
    // process freed them: else a power cut could bring them back belonging to no one.
    const std::vector<int> stores = ExistingStores(main);
    store.SyncStoreFiles({stores.begin(), stores.end()}, false);
    db::Transaction transaction(main);
    for (const int recordIdent : recordIdents)
        main.Execute(SqlFormat("Delete from pendingdelete where pd_record = %d", recordIdent));
    transaction.Commit();
}

void FinishItemRemoval(db::Connection& main, ObjectStore& store, int recordIdent, ProgressRoutines& progress)
{
    FreeItemChunks(main, store, recordIdent, progress);
    EndItemRemovals(main, store, {recordIdent});
}

void WithJournalRoom(ObjectStore& store, const std::function<void()>& work)
{
    try {
        work();
    } catch (const db::DiskFull&) {
        ReleaseSpaceReserve();
        store.ReleaseJournalSpace();
        work();
    }
}

int FinishInterruptedRemovals(db::Connection& main, ObjectStore& store, ProgressRoutines& progress)
{
    struct Removal {
        int recordIdent;
        std::int64_t size;
        std::string description;
    };
    std::vector<Removal> removals;
    {
        db::Query journal(main, "Select * from pendingdelete order by pd_record");
        for (; !journal.Eof(); journal.Next())
            removals.push_back({static_cast<int>(journal.AsInteger("pd_record")), journal.AsInteger("pd_size"),
                                journal.AsString("pd_description")});
    }
    if (removals.empty())
        return 0;
    // What the interrupted process credited and what it freed may have reached the disk apart.
    MarkSpaceRecount(main);
    progress.ShowProgress("Deleting Files", true);
    ProgressScope scope(progress);
    progress.SetProgressTotal("Deleting Files", static_cast<int>(removals.size()));
    for (const Removal& removal : removals) {
        progress.SetProgressItem(removal.description, static_cast<int>(removal.size / kChunkSize + 1));
        FinishItemRemoval(main, store, removal.recordIdent, progress);
        progress.StepProgress();
    }
    return static_cast<int>(removals.size());
}

} // namespace velmora
