#pragma once

#include <string>

namespace velmora {

// The program folder: the running executable's folder, without a trailing separator.
std::string GetAppDir();
// The data folder: the override when one is set, else GetDefaultDataDir().
std::string GetDataDir();
// Whether this process may write into the program folder; decided at the first call,
// so the data folder cannot move while the program runs.
bool ProgramFolderWritable();
// The user's own folder for the program's data: $XDG_DATA_HOME/Velmora, else
// ~/.local/share/Velmora (read from the environment at each call).
std::string GetUserDataDir();
// The data folder when none is given: the program folder, or the user's data folder
// when the program folder is not writable (an installed program). The shipped
// templates stay where they are: they are always read from the program folder.
std::string GetDefaultDataDir();
// Sets the data-folder override; an empty path clears it. Safe from any thread.
void SetDataDir(const std::string& path);
// folder + "/" + name, with one separator whatever folder ends with.
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder of the pristine shipped main database (GetAppDir() + "/shipped"), from
// which a new library is made.
std::string GetShippedDir();

// The 15-character password every library, store, template and archive file carries.
std::string GetDatabasePassword();

// Connection string of the main database (store 0) or of store file n, in the data folder.
std::string LibraryConnectionString(int store);

inline constexpr const char* kMainDatabaseName = "tndb.mdb";
inline constexpr const char* kStoreTemplateName = "tntempl.mdb";
inline constexpr const char* kArchiveTemplateName = "template.tnt";
// "tnstore" + n + ".mdb"
std::string StoreFileName(int store);

} // namespace velmora
