#pragma once

#include <string>

namespace velmora {

// The program folder: the running executable's folder, without a trailing separator.
std::string GetAppDir();
// The data folder: the override when one is set, else the program folder.
std::string GetDataDir();
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
