#include "store/Transaction.h"

#include "store/Connection.h"

#include <sqlite3.h>

namespace velmora::db {

Transaction::Transaction(Connection& connection) : m_connection(connection)
{
    m_connection.Execute("BEGIN IMMEDIATE");
    m_open = true;
}

Transaction::~Transaction()
{
    // SQLite may already have rolled back on its own (a full disk, say); a second
    // ROLLBACK would only fail.
    if (m_open && m_connection.InTransaction())
        sqlite3_exec(m_connection.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::Commit()
{
    if (!m_open)
        return;
    m_connection.Execute("COMMIT");
    m_open = false;
}

} // namespace velmora::db
