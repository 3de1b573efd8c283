#include "app/HandOverProtocol.h"

#include "platform/RuntimeFolder.h"
#include "store/LibraryFiles.h"

#include <QTime>

#include <cstdio>
#include <stdexcept>

namespace velmora {

std::string HandOverFolder()
{
    if (ProgramFolderWritable())
        return GetAppDir();
    try {
        return PrivateRuntimeFolder();
    } catch (const RuntimeFolderRefused&) {
        // Then there is no instance lock either, so no second instance hands over.
        return {};
    }
}

std::string ListFileName(const QTime& time)
{
    if (!time.isValid())
        throw std::invalid_argument("no valid time for the list file name");
    char name[16];
    std::snprintf(name, sizeof name, "%02d%02d%02d", time.hour(), time.minute(), time.second());
    return name;
}

std::int64_t ListFileNumber(const std::string& listFileName)
{
    return std::stoll(listFileName);
}

std::optional<std::string> ListFileNameFromNumber(std::int64_t lParam)
{
    if (lParam < 0 || lParam > 999999)
        return std::nullopt;
    char name[16];
    std::snprintf(name, sizeof name, "%06lld", static_cast<long long>(lParam));
    return std::string(name);
}

} // namespace velmora
