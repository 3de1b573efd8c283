#include "store/FileSync.h"

#include "platform/UniqueFd.h"

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

void SyncDatabaseFile(const std::string& path)
{
    // The log first: frames a checkpoint has not copied yet are only there; frames it
    // has copied were synced into the file before the log could be rewritten.
    SyncFile(path + "-wal", O_RDONLY, false);
    SyncFile(path, O_RDONLY, true);
}

void SyncFolder(const std::string& folder)
{
    SyncFile(folder, O_RDONLY | O_DIRECTORY, true);
}

} // namespace velmora
