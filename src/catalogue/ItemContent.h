#pragma once

#include <cstdint>

namespace velmora {

namespace db {
class Connection;
}
class ProgressRoutines;
class Stream;

// Appends the item's whole content, exactly rec_size bytes, at stream's position,
// stepping the progress window's item bar once per chunk read; then moves stream back
// to its start. Memory stays bounded by one chunk. Raises std::runtime_error when the
// item does not exist or its stored content ends before rec_size bytes (a copy that
// would silently be short).
std::int64_t ReadItemToStream(db::Connection& connection, int recIdent, Stream& stream,
                              ProgressRoutines& progress);

} // namespace velmora
