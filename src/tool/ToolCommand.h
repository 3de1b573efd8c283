#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::tool {

// A wrong invocation or a refused request: printed as one line, exit code 2.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ToolCommand {
    std::string_view name;
    std::string_view usage;   // the arguments, for the help text
    std::string_view summary;
    int (*run)(const std::vector<std::string>& args);
};

// Each group of commands lives in a file of its own.
std::span<const ToolCommand> CatalogueCommands();
std::span<const ToolCommand> CipherCommands();
std::span<const ToolCommand> StreamCommands();
std::span<const ToolCommand> LibraryCommands();

} // namespace velmora::tool
