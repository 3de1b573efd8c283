#pragma once

#include "store/Statement.h"

#include <cstdint>
#include <optional>

namespace velmora {

class ChunkBuffer;

namespace db {
class Connection;
}

// The chunk rows (table recobject) of the store file a connection has open, through
// statements prepared once for the connection: an add, a read-back or a re-encryption
// passes thousands of chunks through them. A value moves between the database and the
// caller's buffer with no copy on the side, by incremental blob I/O both ways: written
// into a zeroblob of its length, in the same transaction as its row (bench/
// DatabaseBench.cpp: a bound value is copied once more, into the record, on its way).
// Statements are reset after each use, so no read snapshot is held between calls.
// Lives no longer than its connection.
class ChunkTable {
public:
    explicit ChunkTable(db::Connection& store);

    struct Row {
        std::int64_t rowid = 0;
        int nextStore = 0;
        int generation = 0;       // 0 in a store file that does not record it
        std::int64_t length = 0;  // bytes of ro_data
    };

    // The chunk's row with its ro_data read into buffer (grown when the value is longer
    // than it holds); none when there is no such chunk.
    std::optional<Row> Read(int recordIdent, int chunkNo, ChunkBuffer& buffer);
    // Appends a chunk row whose ro_data is size bytes at data (an empty value for 0).
    void Insert(int recordIdent, int chunkNo, int nextStore, int generation, const void* data, std::int64_t size);
    // Replaces ro_data and the generation of the row if it is still the chunk, under
    // fromGeneration; false when it is not (gone, or rewritten meanwhile).
    bool Rewrite(const Row& row, int recordIdent, int chunkNo, int fromGeneration, int toGeneration,
                 const void* data, std::int64_t size);

private:
    db::Statement& Prepared(db::Statement& statement, const char* sql);
    void WriteValue(std::int64_t rowid, const void* data, std::int64_t size);
    std::int64_t ReadValue(const Row& row, const char* type, ChunkBuffer& buffer);

    db::Connection& m_store;
    bool m_hasGeneration = true;   // read from ro_keygen, else 0
    db::Statement m_find;
    db::Statement m_insert;
    db::Statement m_rewrite;
    db::Statement m_valueText;
};

} // namespace velmora
