#pragma once

#include <functional>
#include <string>

namespace velmora {

class MessageBoxes;

// What became of a start on a data folder.
enum class NewLibraryOutcome {
    Exists,     // the folder holds a library: open it
    Created,    // the user asked for a new library and it was made: open it
    Declined,   // the user said No: the program ends
    Failed,     // the library could not be made; the user has been told: the program ends
};

// Makes an empty library in a folder (CreateLibrary); throws with the reason when it
// cannot.
using CreateLibraryFn = std::function<void(const std::string& folder)>;

// A data folder without a main database ("tndb.mdb") is offered as a new library:
// "There is no Velmora library in FOLDER. Create a new library there?" (question,
// Yes/No), FOLDER as an absolute path. Yes makes it with create; the library has no
// password yet, so the first one given at the gate becomes its password.
NewLibraryOutcome OfferNewLibrary(const std::string& dataDir, MessageBoxes& boxes, const CreateLibraryFn& create);

} // namespace velmora
