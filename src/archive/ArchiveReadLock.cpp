#include "archive/ArchiveReadLock.h"

#include "archive/ArchiveError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace velmora {

namespace {

// Where the database engine's locks lie in a file (its unix file layer): one byte for
// a writer about to commit, one for a writer's transaction, then the readers' bytes,
// which a committing writer locks whole.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kReservedByte = kPendingByte + 1;
constexpr off_t kSharedFirst = kPendingByte + 2;
constexpr off_t kSharedSize = 510;

struct flock Range(short type, off_t start, off_t length)
{
    struct flock range {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = start;
    range.l_len = length;
    return range;
}

} // namespace

ArchiveReadLock::ArchiveReadLock(const std::string& path)
{
    const std::string quoted = "\"" + path + "\"";
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.Valid())
        return;
    // Refused while a writer holds the readers' bytes: it is committing.
    struct flock shared = Range(F_RDLCK, kSharedFirst, kSharedSize);
    if (::fcntl(file.Get(), F_OFD_SETLK, &shared) != 0) {
        if (errno == EAGAIN || errno == EACCES)
            throw ArchiveError(ArchiveError::Reason::Locked, quoted + " is being written by another program");
        throw ArchiveError(ArchiveError::Reason::NotAnArchive,
                           quoted + " cannot be locked for reading: " + std::strerror(errno));
    }
    // A writer in the middle of its transaction holds the byte of the transaction (or
    // the one before committing); what it has written so far may lie in the file.
    struct flock writer = Range(F_RDLCK, kPendingByte, kReservedByte - kPendingByte + 1);
    if (::fcntl(file.Get(), F_OFD_GETLK, &writer) == 0 && writer.l_type != F_UNLCK)
        throw ArchiveError(ArchiveError::Reason::Locked, quoted + " is being written by another program");

    const std::string journal = path + "-journal";
    struct stat info {};
    if (::stat(journal.c_str(), &info) == 0 && info.st_size > 0)
        throw ArchiveError(ArchiveError::Reason::Damaged,
                           quoted + " was left half-written: the journal of a change that did not finish lies "
                                    "beside it (\"" + journal + "\")");
    m_file = std::move(file);
}

} // namespace velmora
