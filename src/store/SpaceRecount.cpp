#include "store/SpaceRecount.h"

#include "store/Connection.h"
#include "store/FileSync.h"
#include "store/Query.h"
#include "store/Transaction.h"

#include <ctime>
#include <string>

namespace velmora {

namespace {

constexpr const char* kCreateTable = "CREATE TABLE IF NOT EXISTS spacerecount (sr_since INTEGER NOT NULL)";

bool HasTable(db::Connection& main)
{
    db::Query table(main, "Select count(*) as n from sqlite_master where type = 'table' and name = 'spacerecount'");
    return table.AsInteger("n") != 0;
}

} // namespace

bool SpaceRecountPending(db::Connection& main)
{
    if (!HasTable(main))
        return false;
    db::Query marks(main, "Select count(*) as n from spacerecount");
    return marks.AsInteger("n") != 0;
}

void MarkSpaceRecount(db::Connection& main)
{
    if (SpaceRecountPending(main))
        return;
    {
        db::Transaction transaction(main);
        main.Execute(kCreateTable);
        main.Execute("Insert into spacerecount (sr_since) values (" + std::to_string(std::time(nullptr)) + ")");
        transaction.Commit();
    }
    SyncDatabaseFile(main);
}

void ClearSpaceRecount(db::Connection& main)
{
    if (HasTable(main))
        main.Execute("Delete from spacerecount");
}

} // namespace velmora
