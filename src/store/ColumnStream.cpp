#include "store/ColumnStream.h"

#include "store/BlobReadStream.h"
#include "store/Connection.h"
#include "store/DatabaseError.h"
#include "store/Statement.h"
#include "store/TableRow.h"
#include "store/ValueReadStream.h"

#include <sqlite3.h>

namespace velmora::db {

std::unique_ptr<Stream> OpenColumnStream(Connection& connection, const std::string& table, const std::string& column,
                                         std::int64_t rowid)
{
    // The value's kind decides how it can be read; its length alone never loads it.
    Statement value(connection.Handle(),
                    "SELECT typeof(" + QuoteIdentifier(column) + "), CASE WHEN typeof(" + QuoteIdentifier(column)
                        + ") IN ('integer', 'real') THEN " + QuoteIdentifier(column) + " END FROM "
                        + QuoteIdentifier(table) + " WHERE _rowid_ = ?",
                    connection.DataSource());
    value.BindInt64(1, rowid);
    if (!value.Step())
        throw DatabaseError("No row " + std::to_string(rowid) + " in table \"" + table + "\" (database \""
                            + connection.DataSource() + "\")");
    const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(value.Handle(), 0));
    if (type == "blob" || type == "text")
        return std::make_unique<BlobReadStream>(connection.Handle(), table, column, rowid, connection.DataSource());
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(value.Handle(), 1));
    return std::make_unique<ValueReadStream>(text ? std::string(text) : std::string());
}

} // namespace velmora::db
