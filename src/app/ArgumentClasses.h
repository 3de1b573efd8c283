#pragma once

#include <string>
#include <vector>

namespace velmora {

// How a command-line argument (or a handed-over line) is taken. The extension is the
// part of the file name from its last "." on, in any letter case.
enum class ArgumentClass {
    Archive,     // ".eta": a transfer archive to import; never a folder
    PathToAdd,   // a folder to add, or a path with one of the media extensions
    Embedding,   // "-embedding" in any letter case
    DataFolder,  // anything else
};

// A directory is a folder to add unless it holds a library's main database
// ("tndb.mdb"): then it is the library's folder.
bool IsFolderToAdd(const std::string& path);
// ".eta" in any letter case.
bool IsArchivePath(const std::string& path);
// A folder to add or a media file: what the library adds. A media file need not exist.
bool IsPathToAdd(const std::string& path);

ArgumentClass ClassifyArgument(const std::string& argument);

// An existing, empty folder given as the only argument: the place for a new library,
// not a folder to add (which would only make an empty category).
bool IsNewLibraryFolderAlone(const std::vector<std::string>& arguments);

// What a second instance hands over: archives and paths to add.
bool QualifiesForHandOver(const std::string& argument);

} // namespace velmora
