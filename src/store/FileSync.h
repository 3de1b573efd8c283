#pragma once

#include <string>

namespace velmora {

namespace db {
class Connection;
}

// Forces what has been written to the database file of an open connection to the disk:
// the file and its write-ahead log, whichever connection wrote them. The database engine
// syncs its log only at checkpoints; a commit that must survive a power cut (an item
// that is now complete, its source perhaps deleted next) is synced with this. Raises
// std::runtime_error naming the file when the disk refuses.
void SyncDatabaseFile(db::Connection& connection);

// Forces a folder's entries (files made or renamed in it) to the disk.
void SyncFolder(const std::string& folder);

} // namespace velmora
