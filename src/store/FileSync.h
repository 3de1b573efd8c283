#pragma once

#include <string>

namespace velmora {

// Forces what has been written to a database file to the disk: the file and its
// write-ahead log, whichever connection wrote them. The database engine syncs its log
// only at checkpoints; a commit that must survive a power cut (an item that is now
// complete, its source perhaps deleted next) is synced with this. Raises
// std::runtime_error naming the file when the disk refuses.
void SyncDatabaseFile(const std::string& path);

// Forces a folder's entries (files made or renamed in it) to the disk.
void SyncFolder(const std::string& folder);

} // namespace velmora
