#pragma once

#include <string>
#include <vector>

namespace velmora {

// The program's version, as the build names it ("1.1.0").
std::string ProgramVersion();

// What a start that asks about the program, instead of running it, wants to know.
enum class InfoRequest { None, Help, Version };

// "--help" or "-h" anywhere among the arguments asks for the usage, "--version" for the
// version (the usage wins when both are given).
InfoRequest InfoRequested(const std::vector<std::string>& arguments);

// What `velmora --help` prints: the start modes and their arguments.
std::string VelmoraUsage();

} // namespace velmora
