#include "integration/FileManagerEntries.h"

#include "platform/BaseFolders.h"
#include "settings/RegistryValues.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace velmora {

namespace fs = std::filesystem;

namespace {

// The service menu's folders under a data folder: newer Dolphin reads the first,
// Debian 12's the second.
const char* const kServiceMenuFolders[] = {"kio/servicemenus", "kservices5/ServiceMenus"};

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& file, const std::string& text)
{
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
    // Dolphin runs only service menus of the user's own folder that may be executed.
    fs::permissions(file, fs::perms::owner_exec, fs::perm_options::add, error);
}

// A desktop entry's text with every "Name=" line (the menu entry's and its action's)
// given the menu text; other languages' names go, as they no longer say the same.
std::string Renamed(const std::string& entry, const std::string& menuText)
{
    std::istringstream lines(entry);
    std::string renamed;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Name[", 0) == 0)
            continue;
        if (line.rfind("Name=", 0) == 0)
            line = "Name=" + menuText;
        renamed += line + '\n';
    }
    return renamed;
}

// The first installed file of that relative name in the data folders.
fs::path Installed(const FileManagerEntryPaths& paths, const fs::path& relative)
{
    for (const std::string& folder : paths.dataDirs) {
        std::error_code error;
        const fs::path candidate = fs::path(folder) / relative;
        if (fs::is_regular_file(candidate, error))
            return candidate;
    }
    return {};
}

void FollowInServiceMenus(const std::string& menuText, const FileManagerEntryPaths& paths)
{
    for (const char* folder : kServiceMenuFolders) {
        const fs::path relative = fs::path(folder) / kServiceMenuName;
        const fs::path user = fs::path(paths.dataHome) / relative;
        const fs::path installed = Installed(paths, relative);
        std::error_code error;
        if (installed.empty() || menuText == registry::kShellMenuText.defaultValue()) {
            fs::remove(user, error);
            continue;
        }
        WriteText(user, Renamed(ReadText(installed), menuText));
    }
}

// GNOME Files lists a script by its file name; "/" cannot be in one.
std::string ScriptName(const std::string& menuText)
{
    std::string name = menuText;
    for (char& c : name)
        if (c == '/')
            c = '-';
    return name.empty() || name == "." || name == ".." ? registry::kShellMenuText.defaultValue() : name;
}

void FollowInScripts(const std::string& menuText, const FileManagerEntryPaths& paths)
{
    const fs::path installed = Installed(paths, kInstalledScript);
    const fs::path scripts = fs::path(paths.dataHome) / "nautilus" / "scripts";
    std::error_code error;
    if (installed.empty() || !fs::is_directory(scripts, error))
        return;
    const std::string installedText = ReadText(installed);
    const fs::path wanted = scripts / ScriptName(menuText);
    for (const auto& entry : fs::directory_iterator(scripts, error)) {
        const fs::path script = entry.path();
        const bool ours = fs::equivalent(script, installed, error) || ReadText(script) == installedText;
        if (!ours || script == wanted)
            continue;
        // Only a name the user does not use otherwise.
        if (fs::exists(fs::symlink_status(wanted, error)))
            return;
        fs::rename(script, wanted, error);
        if (error)
            throw std::runtime_error("cannot rename " + script.string() + " to " + wanted.string());
        return;
    }
}

} // namespace

FileManagerEntryPaths FileManagerEntryPaths::ForUser()
{
    FileManagerEntryPaths paths;
    paths.dataHome = XdgBaseFolder("XDG_DATA_HOME", ".local/share");
    paths.dataDirs = XdgDataDirs();
    return paths;
}

void FollowMenuText(const std::string& menuText, const FileManagerEntryPaths& paths)
{
    FollowInServiceMenus(menuText, paths);
    FollowInScripts(menuText, paths);
}

void RemoveServiceMenuCopies(const FileManagerEntryPaths& paths)
{
    std::string failed;
    for (const char* folder : kServiceMenuFolders) {
        const fs::path user = fs::path(paths.dataHome) / folder / kServiceMenuName;
        std::error_code error;
        if (!fs::remove(user, error) && error)
            failed += (failed.empty() ? "cannot remove " : ", ") + user.string();
    }
    if (!failed.empty())
        throw std::runtime_error(failed);
}

} // namespace velmora
