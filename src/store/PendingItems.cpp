#include "store/PendingItems.h"

#include "store/FileSync.h"
#include "store/ItemRemoval.h"
#include "store/ObjectStore.h"
#include "store/ProcessStamp.h"
#include "store/SpaceRecount.h"
#include "store/SqlText.h"
#include "store/TableRow.h"
#include "store/Transaction.h"
#include "ui/ProgressRoutines.h"

#include <algorithm>

namespace velmora {

std::vector<int> TakeItemNumbers(db::Connection& main, int count)
{
    const ProcessStamp self = ProcessStamp::ThisProcess();
    std::vector<int> numbers;
    db::Transaction transaction(main);
    {
        // Each row goes again at once and comes back complete: only its number stays
        // taken, since AutoNumbers are never given twice.
        db::TableRow placeholder("Record");
        placeholder.Set("rec_tnorigname", "");
        db::Statement remove(main.Handle(), "Delete from Record where rec_ident = ?", main.DataSource());
        for (int i = 0; i < count; ++i) {
            const std::int64_t number = placeholder.Insert(main);
            numbers.push_back(static_cast<int>(number));
            remove.BindInt64(1, number);
            remove.Run();
            remove.Reset();
        }
    }
    for (const int number : numbers)
        main.Execute(SqlFormat("Insert into pendingadd (pa_record, pa_pid, pa_started) values (%d, %lld, %lld)",
                               number, static_cast<long long>(self.pid), static_cast<long long>(self.started)));
    transaction.Commit();
    SyncDatabaseFile(main);
    return numbers;
}

void GiveBackItemNumbers(db::Connection& main, const std::vector<int>& numbers)
{
    if (numbers.empty())
        return;
    db::Transaction transaction(main);
    for (const int number : numbers)
        main.Execute(SqlFormat("Delete from pendingadd where pa_record = %d", number));
    const auto [lowest, highest] = std::minmax_element(numbers.begin(), numbers.end());
    if (*highest - *lowest + 1 == static_cast<int>(numbers.size()))
        main.Execute(SqlFormat("Update sqlite_sequence set seq = %d where name = 'Record' and seq = %d", *lowest - 1,
                               *highest));
    transaction.Commit();
}

void WriteCompletedItem(db::Connection& main, const StoredItem& item)
{
    db::TableRow record("Record");
    record.Set("rec_ident", item.recordIdent)
        .Set("rec_tnorigname", item.fileName)
        .Set("rec_description", item.description)
        .Set("rec_date_added", item.dateAdded)
        .Set("rec_rank", 1)
        .Set("rec_size", item.size)
        .Set("rec_objstore", item.firstStore);
    record.Insert(main);
    // A category deleted meanwhile gets no link: the link would name nothing.
    if (item.categoryId)
        main.Execute(SqlFormat("Insert into RecordCategory (reccat_category, reccat_record) "
                               "Select cat_id, %d from Category where cat_id = %d",
                               item.recordIdent, *item.categoryId));
    main.Execute(SqlFormat("Delete from pendingadd where pa_record = %d", item.recordIdent));
}

void TakeBackAdd(ObjectStore& store, int recordIdent)
{
    try {
        WithJournalRoom(store, [&] {
            db::Connection& main = store.MainConnection();
            // Bookings the failure could not give back are counted again from the chunks,
            // now if no other add or delete runs, else at a later opening.
            if (store.BookingsAdrift())
                MarkSpaceRecount(main);
            BeginTakeBack(main, recordIdent);
            NullProgress quiet;
            FinishItemRemoval(main, store, recordIdent, quiet);
            if (SpaceRecountPending(main))
                store.RebookSpaceWhenIdle();
        });
    } catch (const std::exception&) {
        // The pending mark or the journal entry stays; the next open finishes the take-back.
    }
}

} // namespace velmora
