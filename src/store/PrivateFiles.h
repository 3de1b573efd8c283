#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace velmora {

// Library files hold the user's content, encrypted or not: only the user may reach
// them, whatever the umask says.
inline constexpr mode_t kPrivateFolderMode = 0700;
inline constexpr mode_t kPrivateFileMode = 0600;

// Creates folder and each missing folder above it with kPrivateFolderMode; folders that
// exist are left as they are. Raises std::runtime_error naming the folder.
void MakePrivateFolders(const std::string& folder);

// Copies source into target, a new file (an existing one is an error) made with
// kPrivateFileMode and synced to the disk. On failure nothing of target is left.
// Raises std::runtime_error naming the file.
void CopyToPrivateFile(const std::string& source, const std::string& target);

// A library file that users other than its owner can read.
struct ExposedFile {
    std::string path;
    mode_t mode = 0;   // permission bits
};
// The library's files in folder (the main database, the store files and the
// database engine's journal files beside them) that the group or others may read.
std::vector<ExposedFile> ExposedLibraryFiles(const std::string& folder);

} // namespace velmora
