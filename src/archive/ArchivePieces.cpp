#include "archive/ArchivePieces.h"

#include "store/AsciiText.h"

#include <algorithm>

namespace velmora {

namespace {

struct PieceColumn {
    const char* name;
    const char* type;
};

// Made from one list, so that what the export creates and what the reader accepts
// cannot drift apart.
constexpr PieceColumn kPieceColumns[] = {
    {"rp_record", "INTEGER"},
    {"rp_piece", "INTEGER"},
    {"rp_object", "BLOB"},
};

} // namespace

std::string PieceTableSql()
{
    std::string sql = std::string("CREATE TABLE ") + kPieceTable + " (";
    const char* separator = "";
    for (const auto& column : kPieceColumns) {
        sql += std::string(separator) + column.name + " " + column.type;
        separator = ", ";
    }
    return sql + ")";
}

std::set<std::string> PieceTableObjects()
{
    const std::string table = std::string("table ") + AsciiLower(kPieceTable);
    std::set<std::string> objects{table};
    for (const auto& column : kPieceColumns)
        objects.insert(table + " column " + AsciiLower(column.name) + " " + AsciiLower(column.type) +
                       " notnull 0 default (null) key 0");
    return objects;
}

std::int64_t PieceCount(std::int64_t total, std::int64_t pieceLength)
{
    return total <= pieceLength ? 1 : (total + pieceLength - 1) / pieceLength;
}

std::int64_t PieceLength(std::int64_t total, std::int64_t pieceLength, std::int64_t number)
{
    return std::clamp<std::int64_t>(total - (number - 1) * pieceLength, 0, pieceLength);
}

} // namespace velmora
