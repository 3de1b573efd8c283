#include "app/ArgumentClasses.h"

#include "store/AsciiText.h"
#include "store/LibraryFiles.h"
#include "store/MediaExtensions.h"

#include <filesystem>
#include <system_error>

namespace velmora {

bool IsFolderToAdd(const std::string& path)
{
    if (path.empty())
        return false;
    std::error_code error;
    const std::filesystem::path folder(path);
    if (!std::filesystem::is_directory(folder, error))
        return false;
    return !std::filesystem::exists(folder / kMainDatabaseName, error);
}

bool IsArchivePath(const std::string& path)
{
    return UpperExtension(path) == ".ETA";
}

bool IsPathToAdd(const std::string& path)
{
    return IsFolderToAdd(path) || IsSupportedMediaFile(path);
}

ArgumentClass ClassifyArgument(const std::string& argument)
{
    if (IsArchivePath(argument))
        return ArgumentClass::Archive;
    if (IsPathToAdd(argument))
        return ArgumentClass::PathToAdd;
    if (AsciiLower(argument) == "-embedding")
        return ArgumentClass::Embedding;
    return ArgumentClass::DataFolder;
}

bool IsNewLibraryFolderAlone(const std::vector<std::string>& arguments)
{
    // An ".eta" path is never a folder.
    if (arguments.size() != 1 || arguments.front().empty() || IsArchivePath(arguments.front()))
        return false;
    std::error_code error;
    const std::filesystem::path folder(arguments.front());
    return std::filesystem::is_directory(folder, error) && std::filesystem::is_empty(folder, error) && !error;
}

bool QualifiesForHandOver(const std::string& argument)
{
    const ArgumentClass kind = ClassifyArgument(argument);
    return kind == ArgumentClass::Archive || kind == ArgumentClass::PathToAdd;
}

} // namespace velmora
