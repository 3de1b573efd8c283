#pragma once

#include <stdexcept>

namespace velmora::db {

// Any failure of the database layer; the text names the file and the statement involved.
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace velmora::db
