#pragma once

#include <string>
#include <vector>

namespace velmora::tool {

// "add --data DIR PATH...": media files as unclassified items, and folders as the program
// adds them (a category with their files, sub-folders as sub-categories). Prints each new
// item's number; names on standard error every path skipped (not a media file, or not
// stored) and then exits 2, like any failed command.
int Add(const std::vector<std::string>& args);

} // namespace velmora::tool
