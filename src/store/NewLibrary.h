#pragma once

#include <string>

namespace velmora {

// Makes a new, empty library in folder: the folder (and any missing folder above it)
// is created for the user alone, and the shipped main database is copied into it as
// a file only the user can read; the first password given to it becomes its
// password. Raises std::runtime_error when folder holds a library already, the
// shipped database is missing, or a file cannot be made.
void CreateLibrary(const std::string& folder);

// An installed program keeps its default library in the user's data folder
// (GetDefaultDataDir): when no data folder is given and that folder holds no library
// yet, it is made there from the shipped one, as the build makes the program folder's
// own. Does nothing when a data folder is given or the program folder is the default.
// Raises std::runtime_error as CreateLibrary.
void MakeDefaultLibraryIfMissing();

} // namespace velmora
