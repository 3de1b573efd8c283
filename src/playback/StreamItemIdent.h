#pragma once

#include <atomic>
#include <cstdint>

namespace velmora {

// rec_ident of the item the stream server serves next. Written by the user-interface
// thread when it opens an item in the player, read once by each connection as it
// starts serving; starts at 0.
extern std::atomic<std::int32_t> StreamItemIdent;

} // namespace velmora
