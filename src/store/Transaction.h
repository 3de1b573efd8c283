#pragma once

namespace velmora::db {

class Connection;

// BEGIN IMMEDIATE on construction, ROLLBACK on destruction unless committed: a
// write transaction that takes the writer's lock at once, so that a read followed
// by a write cannot fail half-way with "database is locked".
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit();

private:
    Connection& m_connection;
    bool m_open = false;
};

} // namespace velmora::db
