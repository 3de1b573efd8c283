#pragma once

#include <string>
#include <vector>

namespace velmora {

namespace db {
class Connection;
}
class MessageBoxes;
class ProgressRoutines;

// The name an item is saved under: its stored file name without any folder part, so
// that a name such as "../x" (an imported archive may carry anything) cannot write
// outside the chosen folder. std::runtime_error when nothing usable remains.
std::string SaveFileName(const std::string& storedName);

// Writes the item's decrypted content into folder under its stored file name,
// replacing a file of that name; the item bar shows one step per chunk. A copy that
// fails part-way is removed again and the error passes on. Returns the path written.
std::string SaveItemToFolder(db::Connection& connection, const std::string& folder, int recIdent,
                             ProgressRoutines& progress);

// "Save to Disk...": saves the items in the order given under the progress window
// "Saving Files, Please Wait". An item that cannot be saved shows its error's text as
// an error message and the others are still saved; Cancel stops after the current one.
void SaveItemsToFolder(db::Connection& connection, const std::string& folder, const std::vector<int>& items,
                       ProgressRoutines& progress, MessageBoxes& messages);

} // namespace velmora
