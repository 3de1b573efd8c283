#include "playback/StreamItemIdent.h"

namespace velmora {

std::atomic<std::int32_t> StreamItemIdent{0};

} // namespace velmora
