#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class Stream;

// Adds a new item from source (from its current position) with the calling thread's
// own connections; files it under the category when one is given. size -1 takes the
// size of source. True only when the whole content was stored; a failed add leaves
// nothing of the item behind. An error before any content is written propagates.
bool AddItemOnThread(std::optional<int> categoryId, Stream& source, const std::string& fileName,
                     std::int64_t size, const std::string& description);

// Adds one file by path when its extension is a supported media kind. False when
// it is not, or on any error.
bool AddMonitoredFile(const std::string& path);

} // namespace velmora
