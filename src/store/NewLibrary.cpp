#include "store/NewLibrary.h"

#include "store/LibraryFiles.h"
#include "store/PrivateFiles.h"

#include <filesystem>
#include <stdexcept>

namespace velmora {

void CreateLibrary(const std::string& folder)
{
    namespace fs = std::filesystem;
    const std::string target = JoinPath(folder, kMainDatabaseName);
    std::error_code error;
    if (fs::exists(target, error))
        throw std::runtime_error("there is a library in " + folder + " already");
    const std::string shipped = JoinPath(GetShippedDir(), kMainDatabaseName);
    if (!fs::exists(shipped, error))
        throw std::runtime_error("the shipped library " + shipped + " is missing");
    MakePrivateFolders(folder);
    CopyToPrivateFile(shipped, target);
}

void MakeDefaultLibraryIfMissing()
{
    namespace fs = std::filesystem;
    if (ProgramFolderWritable() || GetDataDir() != GetDefaultDataDir())
        return;
    std::error_code error;
    if (fs::exists(JoinPath(GetDefaultDataDir(), kMainDatabaseName), error))
        return;
    CreateLibrary(GetDefaultDataDir());
}

} // namespace velmora
