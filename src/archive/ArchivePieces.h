#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace velmora {

// An item whose content is longer than one value of the database engine may be leaves
// in pieces. Its record row is the one every archive has, with the first piece in
// rec_object; the following pieces are rows of one further table, made in an archive
// only when an item needs it, so that an archive of items that fit keeps the
// template's objects exactly and every reader reads it. A reader that knows only those
// objects refuses an archive with pieces rather than importing half of an item.
//
// The pieces are cut from the one cipher stream of the content, in order: their
// concatenation is exactly what rec_object holds for an item that fits. All pieces but
// the last are as long as the first, a multiple of the cipher's block, so the length of
// every piece follows from rec_size and the length of rec_object.
inline constexpr const char* kPieceTable = "recpiece";

// CREATE TABLE for the piece table: rp_record, the rowid of the record row; rp_piece,
// the piece's number (rec_object being the first, pieces here begin at 2); rp_object,
// its bytes.
std::string PieceTableSql();

// The piece table as the archive's schema check describes objects (ArchiveSchema.h).
std::set<std::string> PieceTableObjects();

// Pieces of a content of total bytes (rec_size rounded up to whole blocks) cut every
// pieceLength bytes: 1 for total up to pieceLength (nothing in the piece table).
std::int64_t PieceCount(std::int64_t total, std::int64_t pieceLength);
// The length of piece number (1 for rec_object) of such a content.
std::int64_t PieceLength(std::int64_t total, std::int64_t pieceLength, std::int64_t number);

} // namespace velmora
