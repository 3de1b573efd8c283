#pragma once

#include <string>

namespace velmora::db {

// The raw 256-bit SQLCipher key, as 64 hex digits, that stands for a database
// password. Derivation is deliberately slow, so the key of the program's own
// database password is derived once per process and kept; other passwords (only
// tools and tests use them) are derived at each call.
std::string DatabaseKeyHex(const std::string& databasePassword);

} // namespace velmora::db
