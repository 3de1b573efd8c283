#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

namespace db {
class Connection;
}

// The thumbnails already made, kept in the library's main database (table thumbnail),
// each encrypted under the library key of its generation like a chunk, so nothing of a
// picture is ever readable on disk. A row goes with its item (a trigger on Record), and
// a password change moves every row to the new key in the transaction that records the
// change. The cached form is a PNG of the 64 x 64 cell.
//
// The main database rather than a store file: the store files' space bookkeeping counts
// 500,000-byte chunks exactly, and a file of its own could not change in one commit with
// a delete or a password change.

inline constexpr const char* kPngSignature = "\x89PNG\r\n\x1a\n";

// Gives a library made by an earlier version the table and its trigger; writes nothing
// when they are there.
void AddThumbnailTable(db::Connection& main);

// Outside a password change, rows under another key than the library's go: a program
// that knows no cache changed the password and left them under the old one. Writes
// nothing when there are none.
void DropStaleThumbnails(db::Connection& main);

// The item's cached thumbnail, decrypted; none when there is none, or when it is under
// a key this process cannot have (a stale row, made again and replaced).
std::optional<std::string> FindThumbnail(db::Connection& main, int recordIdent);

// Keeps the item's thumbnail under this process's library key. Nothing is written, and
// false returned, when the item is gone meanwhile or the library's key has moved on
// from the one this process holds (another process changed the password, or a change
// is under way that this process does not write under): a row under an old key would
// outlive the change.
bool KeepThumbnail(db::Connection& main, int recordIdent, const std::string& png);

// Inside the caller's transaction: every row under oldPassword (generation oldGeneration)
// re-encrypted under newPassword as newGeneration; rows under any other key are dropped.
void ReencryptThumbnails(db::Connection& main, const std::string& oldPassword, int oldGeneration,
                         const std::string& newPassword, int newGeneration);
// Inside the caller's transaction: rows under any generation but this one go.
void DropThumbnailsNotUnder(db::Connection& main, int generation);

// Which of the library's items have a cached thumbnail (for the checker and tests).
std::vector<int> CachedThumbnails(db::Connection& main);

// What is wrong with the cache: rows of missing items, rows under another key than the
// library's (outside a password change), rows that are not whole cipher blocks or whose
// content does not decrypt to a PNG under the key this process holds.
std::vector<std::string> CheckThumbnails(db::Connection& main);

} // namespace velmora
