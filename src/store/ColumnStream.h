#pragma once

#include "store/Stream.h"

#include <cstdint>
#include <memory>
#include <string>

namespace velmora::db {

class Connection;

// The value of table.column in the row rowid as a read stream. Text and blobs are read
// in place, piece by piece, never held whole; null reads as nothing and a number as its
// text. Raises DatabaseError when the row does not exist.
std::unique_ptr<Stream> OpenColumnStream(Connection& connection, const std::string& table, const std::string& column,
                                         std::int64_t rowid);

} // namespace velmora::db
