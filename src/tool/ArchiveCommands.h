#pragma once

#include "tool/ToolCommand.h"

namespace velmora::tool {

// export and import of transfer archives, for scripting and backups.
std::span<const ToolCommand> ArchiveCommands();

} // namespace velmora::tool
