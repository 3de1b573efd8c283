#pragma once

#include <string>

namespace velmora {

// Whether another connection (of this process or another) is in the middle of writing
// the database file at path: it holds the writer's lock, so a transaction of ours that
// wants to write would have to wait. Asked without waiting. A file that is missing or
// no database of ours has no writer (false): opening it says what is wrong with it.
// A writer that died half-way leaves a journal that this takes back, as any writer's
// first transaction would.
bool ArchiveHeldByWriter(const std::string& path);

} // namespace velmora
