#include "app/FirstRun.h"

#include "dialogs/MessageBoxes.h"
#include "store/LibraryFiles.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace velmora {

namespace {

std::string Absolute(const std::string& folder)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
    return error ? folder : absolute.lexically_normal().string();
}

} // namespace

NewLibraryOutcome OfferNewLibrary(const std::string& dataDir, MessageBoxes& boxes, const CreateLibraryFn& create)
{
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::path(dataDir) / kMainDatabaseName, error))
        return NewLibraryOutcome::Exists;

    std::string folder = Absolute(dataDir);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const int answer = boxes.ShowMessageBox(
        "There is no Velmora library in " + folder + ". Create a new library there?", mb::kIconQuestion | mb::kYesNo);
    if (answer != mb::kResultYes)
        return NewLibraryOutcome::Declined;
    try {
        create(folder);
    } catch (const std::exception& failure) {
        boxes.ShowMessageBox("Unable to create a Velmora library in " + folder + ": " + failure.what(),
                             mb::kIconError);
        return NewLibraryOutcome::Failed;
    }
    return NewLibraryOutcome::Created;
}

} // namespace velmora
