#include "platform/BaseFolders.h"

#include <cstdlib>
#include <sstream>

namespace velmora {

std::string XdgBaseFolder(const char* variable, const char* fallbackUnderHome)
{
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/" + fallbackUnderHome;
}

std::vector<std::string> XdgDataDirs()
{
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs != nullptr && *dirs != '\0' ? dirs : "/usr/local/share:/usr/share");
    std::vector<std::string> folders;
    for (std::string folder; std::getline(list, folder, ':');)
        if (!folder.empty() && folder.front() == '/')
            folders.push_back(folder);
    return folders;
}

} // namespace velmora
