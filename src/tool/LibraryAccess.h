#pragma once

#include "store/Library.h"

#include <memory>
#include <string>
#include <vector>

namespace velmora::tool {

// The arguments of a library command: the data folder (--data DIR, or --archive FILE
// where a command takes one) and the rest in order.
struct LibraryArgs {
    std::string dataDir;
    std::vector<std::string> positional;
    std::string Option(const std::string& name) const;
    std::vector<std::pair<std::string, std::string>> options;
};
LibraryArgs ParseLibraryArgs(const std::vector<std::string>& args,
                             const std::vector<std::string>& valueOptions = {});

// An environment variable that must be set; ToolError naming it otherwise.
std::string RequiredEnvironment(const char* name, const std::string& purpose);

// Opens the library of the data folder with the password of VELMORA_PASSWORD, as the
// password gate does (the first password given to a new library becomes its password),
// and finishes or takes back what an interrupted run left half-done, saying so on
// standard error. ToolError when the library or the password is missing or wrong.
std::unique_ptr<Library> OpenLibrary(const std::string& dataDir);

} // namespace velmora::tool
