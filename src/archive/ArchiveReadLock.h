#pragma once

#include "platform/UniqueFd.h"

#include <string>

namespace velmora {

// The archive held against writers while the reader reads it, without writing a byte
// of it or beside it. The reader's engine opens the archive immutable and takes no lock
// of its own, so this takes the lock the engine's readers take (a read lock on its
// shared bytes): a writer of the engine cannot commit while it is held. Being an open
// file description's lock, no other descriptor of the file closing in this process
// lets go of it.
//
// Raises ArchiveError, and holds nothing, when
//   - another connection is writing the file or committing (Locked),
//   - a journal beside the archive holds a change that never finished (Damaged): the
//     archive may hold half of it, and taking the journal back would rewrite the file,
//     which is someone else's and read only here.
// A file that cannot be opened is left to the engine to report.
class ArchiveReadLock {
public:
    explicit ArchiveReadLock(const std::string& path);

private:
    UniqueFd m_file;
};

} // namespace velmora
