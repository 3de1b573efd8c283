#include "catalogue/SaveToDisk.h"

#include "catalogue/ItemContent.h"
#include "store/FileStream.h"
#include "store/LibraryFiles.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "ui/MessageBoxes.h"
#include "ui/ProgressRoutines.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace velmora {

std::string SaveFileName(const std::string& storedName)
{
    // Names made on the other platform separate folders with backslashes.
    const auto cut = storedName.find_last_of("/\\");
    const std::string name = cut == std::string::npos ? storedName : storedName.substr(cut + 1);
    if (name.empty() || name == "." || name == "..")
        throw std::runtime_error("The stored file name \"" + storedName + "\" cannot be used to save the item");
    return name;
}

std::string SaveItemToFolder(db::Connection& connection, const std::string& folder, int recIdent,
                             ProgressRoutines& progress)
{
    std::string storedName;
    std::int64_t size = 0;
    {
        db::Query record(connection,
                         SqlFormat("Select rec_tnorigname, rec_size from Record where rec_ident = %d", recIdent));
        if (record.Eof())
            throw std::runtime_error("There is no item " + std::to_string(recIdent) + " in the library");
        storedName = record.AsString("rec_tnorigname");
        size = record.AsInteger("rec_size");
    }
    const std::string target = JoinPath(folder, SaveFileName(storedName));
    progress.SetProgressItem(target, static_cast<int>(size / kChunkSize + 1));
    FileStream file(target, FileMode::Create);
    try {
        ReadItemToStream(connection, recIdent, file, progress);
    } catch (...) {
        // A short copy under the item's name would pass for a good one. (Only a file
        // this call opened is removed: a failed open leaves what was there.)
        std::error_code ignored;
        std::filesystem::remove(target, ignored);
        throw;
    }
    return target;
}

void SaveItemsToFolder(db::Connection& connection, const std::string& folder, const std::vector<int>& items,
                       ProgressRoutines& progress, MessageBoxes& messages)
{
    progress.ShowProgress("Saving Files, Please Wait", false);
    ProgressScope scope(progress);
    progress.SetProgressTotal("Extracting Files", static_cast<int>(items.size()));
    for (int recIdent : items) {
        try {
            SaveItemToFolder(connection, folder, recIdent, progress);
        } catch (const std::exception& error) {
            messages.ShowMessageBox(error.what(), mb::kIconError);
        }
        progress.StepProgress();
        if (progress.ProgressCancelled())
            break;
    }
}

} // namespace velmora
