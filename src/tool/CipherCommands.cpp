#include "tool/ToolCommand.h"

namespace velmora::tool {

std::span<const ToolCommand> CipherCommands()
{
    return {};
}

} // namespace velmora::tool
