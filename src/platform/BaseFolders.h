#pragma once

#include <string>

namespace velmora {

// A folder of the XDG base directory specification: the variable's value when it is an
// absolute path (the specification ignores relative ones), else fallback under the
// home folder. Read from the environment at each call. For example
// XdgBaseFolder("XDG_DATA_HOME", ".local/share").
std::string XdgBaseFolder(const char* variable, const char* fallbackUnderHome);

} // namespace velmora
