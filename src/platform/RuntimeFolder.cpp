#include "platform/RuntimeFolder.h"

#include <QDir>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

bool IsPrivateFolder(const std::string& path)
{
    struct stat info {};
    // lstat: a link planted by someone else must not lead elsewhere.
    if (::lstat(path.c_str(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

std::string PrivateRuntimeFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && IsPrivateFolder(runtime))
        return runtime;

    // The temporary folder is shared: anyone may have made this name first, so it is
    // used only when it turns out to be ours alone.
    const std::string folder = QDir::tempPath().toStdString() + "/velmora-" + std::to_string(::geteuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        const int error = errno;
        throw RuntimeFolderRefused("cannot make the runtime folder " + folder + ": " + std::strerror(error));
    }
    if (!IsPrivateFolder(folder))
        throw RuntimeFolderRefused("the runtime folder " + folder +
                                   " is not a folder of this user's alone; it is not used");
    return folder;
}

} // namespace velmora
