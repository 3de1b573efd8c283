#pragma once

#include <stdexcept>

namespace velmora::db {

// Any failure of the database layer; the text names the file and the statement involved.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A write that found the disk full: nothing of it was kept, and work that can wait
// (taking back, finishing a change) waits for space rather than locking the user out.
class DiskFull : public DatabaseError {
public:
    using DatabaseError::DatabaseError;
};

} // namespace velmora::db

namespace velmora {

// What the user is told when the disk is full.
inline constexpr const char* kNoSpaceMessage = "No space left on the device";

} // namespace velmora
