#include "store/LibraryFiles.h"

#include "platform/BaseFolders.h"
#include "store/ConnectionString.h"

#include <mutex>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

std::mutex& DataDirMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The data-folder override named by SetDataDir; only touched under DataDirMutex.
std::string& DataDirOverride()
{
    static std::string path;
    return path;
}

std::string WithoutTrailingSeparators(std::string path)
{
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

// The database password is cut out of four unrelated strings so that no single
// constant in the binary holds it.
std::string_view PasswordSourceA() { return "mQ3vT8kRw2ZpLx"; }
std::string_view PasswordSourceB() { return "hs61Nd9YcUe"; }
std::string_view PasswordSourceC() { return "4bGf7Ja0XtqWe3"; }
std::string_view PasswordSourceD() { return "Vy5oKr8iMn2u"; }

} // namespace

std::string GetAppDir()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            const std::string exe(buffer.data(), static_cast<std::size_t>(n));
            const auto slash = exe.rfind('/');
            return slash == std::string::npos ? std::string() : exe.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string GetDataDir()
{
    {
        std::lock_guard lock(DataDirMutex());
        if (!DataDirOverride().empty())
            return WithoutTrailingSeparators(DataDirOverride());
    }
    return GetDefaultDataDir();
}

bool ProgramFolderWritable()
{
    static const bool writable = [] {
        const std::string appDir = GetAppDir();
        return !appDir.empty() && ::access(appDir.c_str(), W_OK | X_OK) == 0;
    }();
    return writable;
}

std::string GetUserDataDir()
{
    return JoinPath(XdgBaseFolder("XDG_DATA_HOME", ".local/share"), "Velmora");
}

std::string GetDefaultDataDir()
{
    return ProgramFolderWritable() ? GetAppDir() : GetUserDataDir();
}

void SetDataDir(const std::string& path)
{
    std::lock_guard lock(DataDirMutex());
    DataDirOverride() = path;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return WithoutTrailingSeparators(folder) + "/" + name;
}

std::string GetShippedDir()
{
    return JoinPath(GetAppDir(), "shipped");
}

std::string GetDatabasePassword()
{
    std::string password;
    password.reserve(15);
    password += PasswordSourceA().substr(5, 4);
    password += PasswordSourceB().substr(2, 3);
    password += PasswordSourceC().substr(6, 5);
    password += PasswordSourceD().substr(8, 3);
    return password;
}

std::string StoreFileName(int store)
{
    return "tnstore" + std::to_string(store) + ".mdb";
}

std::string LibraryConnectionString(int store)
{
    const std::string name = store == 0 ? std::string(kMainDatabaseName) : StoreFileName(store);
    return db::ConnectionString::Build(JoinPath(GetDataDir(), name), db::kShareDenyNone,
                                       GetDatabasePassword());
}

} // namespace velmora
