#pragma once

#include "store/LibraryPassword.h"

#include <optional>
#include <string>

namespace velmora {

namespace db {
class Connection;
}

// A password change under way, as recorded in the library.
struct PendingChange {
    int generation = 0;
    std::string newUnderOld;   // the new password sealed under the old one
    std::string oldUnderNew;   // and the old one under the new
    std::string newCheck;      // check value of the new password
};

// Bytes under key, as Base64 text; and back, without the zero fill.
std::string Sealed(const std::string& key, const std::string& plain);
std::string Unsealed(const std::string& key, const std::string& base64);

std::optional<PendingChange> ReadPendingChange(db::Connection& main);

// The library key as the recovery copy gives it (both keys while a change is under
// way), and whether the stored password passes the check value. Raises on a missing
// options row or columns that do not decode.
struct StoredKey {
    LibraryKey key;
    bool passes = false;
    std::string caption;
};
StoredKey ReadStoredKey(db::Connection& main);

// Whether key writes chunks under the generation the library is in now and reads
// every generation it holds.
bool IsCurrentKey(const LibraryKey& key, db::Connection& main);

// Another process may have changed the password since this one got its key: then the
// key is taken again from the recovery copy. Raises std::runtime_error when that copy
// does not pass the check value. A process without a key is left without one.
void RefreshLibraryKey(db::Connection& main);

} // namespace velmora
