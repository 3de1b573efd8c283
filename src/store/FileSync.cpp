#include "store/FileSync.h"

#include "platform/UniqueFd.h"
#include "store/Connection.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace velmora {

namespace {

// A file that is not there has nothing to sync: the log exists only in journal mode WAL.
void SyncFile(const std::string& path, int flags, bool mustExist)
{
    UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC));
    if (!fd.Valid()) {
        if (errno == ENOENT && !mustExist)
            return;
        throw std::runtime_error("Cannot open \"" + path + "\" to sync it: " + std::strerror(errno));
    }
    // Any descriptor of a file syncs all of its written data.
    if (::fsync(fd.Get()) != 0)
        throw std::runtime_error("Cannot sync \"" + path + "\" to the disk: " + std::strerror(errno));
}

} // namespace

void SyncDatabaseFile(db::Connection& connection)
{
    const std::string path = connection.DataSource();
    // The log first: frames a checkpoint has not copied yet are only there; frames it
    // has copied were synced into the file before the log could be rewritten. The engine
    // locks no byte of the log, so a descriptor of its own may come and go.
    SyncFile(path + "-wal", O_RDONLY, false);
    // The file itself through the engine's own descriptor: closing any other descriptor
    // of it would drop every lock the process holds on the file (POSIX locks belong to
    // the process and the file, not to a descriptor), the engine's among them.
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(connection.Handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        throw std::runtime_error("Cannot sync \"" + path + "\" to the disk: the database engine has no file open");
    errno = 0;
    if (file->pMethods->xSync(file, SQLITE_SYNC_NORMAL) != SQLITE_OK)
        throw std::runtime_error("Cannot sync \"" + path + "\" to the disk: " +
                                 (errno ? std::strerror(errno) : "the disk refused"));
}

void SyncFolder(const std::string& folder)
{
    SyncFile(folder, O_RDONLY | O_DIRECTORY, true);
}

} // namespace velmora
