#pragma once

#include <string>
#include <vector>

namespace velmora {

// An installed program is registered for every user of the machine by its package: the
// automation service's activation file in a system data folder names it, and the archive
// type and the launcher that opens archives lie beside it. Such a program writes no
// registration of its own for its user: a per-user copy would shadow the package's and
// outlive its removal, pointing at a program that is gone.

// The program an activation file's Exec line starts: its first word as the bus reads it
// (the file's backslash escapes, then shell-like quoting). Empty when there is none.
std::string ActivationProgram(const std::string& activationFile);

// True when the automation service's activation file the bus would read first among
// dataDirs starts program, both compared with their links resolved. The user's own data folder
// (dataHome) is never a system folder, even when it is listed among dataDirs.
bool RegisteredByPackage(const std::string& program, const std::string& dataHome,
                         const std::vector<std::string>& dataDirs);

// The same, from the environment as of now.
bool RegisteredByPackage(const std::string& program);

} // namespace velmora
