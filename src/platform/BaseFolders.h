#pragma once

#include <string>
#include <vector>

namespace velmora {

// A folder of the XDG base directories: the variable's value when it is an
// absolute path (relative ones are ignored, as XDG says), else fallback under the
// home folder. Read from the environment at each call. For example
// XdgBaseFolder("XDG_DATA_HOME", ".local/share").
std::string XdgBaseFolder(const char* variable, const char* fallbackUnderHome);

// The system's data folders, $XDG_DATA_DIRS in order (relative entries ignored), else
// /usr/local/share and /usr/share.
std::vector<std::string> XdgDataDirs();

} // namespace velmora
