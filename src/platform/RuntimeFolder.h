#pragma once

#include <stdexcept>
#include <string>

namespace velmora {

// The folder refused as the user's runtime folder, and why.
class RuntimeFolderRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The folder of the instance lock and the message sockets, which no other user can
// reach: $XDG_RUNTIME_DIR when it is set and private, else "velmora-<uid>" in the
// temporary folder, made 0700 when missing. A folder is private when it is a real
// folder (no link), owned by this user, with no access for group or others. Throws
// RuntimeFolderRefused when the temporary one is not: another user made it first.
std::string PrivateRuntimeFolder();

// Whether path is such a private folder.
bool IsPrivateFolder(const std::string& path);

} // namespace velmora
