#pragma once

#include <string>

namespace velmora {

namespace db {
class Connection;
class Query;
class TableRow;
}

// The recovery copy of the library password (opt_serial), sealed only with the
// program's fixed database password, lets files be added without asking; anyone with
// the library files and the program can unseal it. The user may switch it off: the
// options row then keeps no copy, and adds without a window ask for the password.

// The switch in the options row. Null, and a library made before the switch existed,
// read as on.
inline constexpr const char* kRecoveryCopyColumn = "opt_recoverycopy";

// Gives a library made by an earlier version the switch's column. Raises on a library
// that cannot be written; reading does without the column.
void AddRecoveryCopyColumn(db::Connection& main);

// Whether the options row the query stands on keeps a copy.
bool KeepsRecoveryCopy(const db::Query& options);
// The same for the library's first options row; on without a row.
bool KeepsRecoveryCopy(db::Connection& main);

// Sets opt_serial in the change to the options row the query stands on, for password:
// its sealed copy when the row keeps one, else null.
void StoreRecoveryCopy(const db::Query& options, db::TableRow& change, const std::string& password);

// Switches the copy in the change to the options row the query stands on: off clears
// opt_serial; on makes a copy when there is none and this process holds the password
// that passes the row's check value (a copy that cannot open the library is worse than
// none).
void SwitchRecoveryCopy(const db::Query& options, db::TableRow& change, bool keep);

} // namespace velmora
