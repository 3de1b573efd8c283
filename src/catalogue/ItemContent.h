#pragma once

#include <cstdint>

namespace velmora {

namespace db {
class Connection;
}
class ProgressRoutines;
class Stream;
class TCryptography;

// Appends the item's whole content, exactly rec_size bytes, at stream's position,
// stepping the progress window's item bar once per chunk read; then moves stream back
// to its start. Memory stays bounded by one chunk. Raises std::runtime_error when the
// item does not exist or its stored content ends before rec_size bytes (a copy that
// would silently be short).
std::int64_t ReadItemToStream(db::Connection& connection, int recIdent, Stream& stream,
                              ProgressRoutines& progress);

// The same with the content encrypted under cipher on its way, as through an
// encryption stream over stream (the last block completed with zero bytes): the
// decryption and the new encryption of each chunk happen together, in place, on the
// transfer's own threads. Returns the content bytes (rec_size); stream is left where
// the last block ends.
std::int64_t ReadItemEncrypted(db::Connection& connection, int recIdent, const TCryptography& cipher,
                               Stream& stream, ProgressRoutines& progress);

} // namespace velmora
