#pragma once

#include <string>
#include <vector>

namespace velmora {

// The file managers read their "Add To Velmora" entry from files, so the menu text of
// the settings reaches them only through those files:
//  - Dolphin's service menu: the installed one, found in the data folders, is copied to
//    the user's data folder (which Dolphin reads first) with the menu text as its
//    names; with the default text the user's copy goes again.
//  - GNOME Files' script: its name is the menu text, so the user's script folder's
//    link to the installed script (or a copy of it) is renamed to the text.
struct FileManagerEntryPaths {
    std::string dataHome;                // $XDG_DATA_HOME
    std::vector<std::string> dataDirs;   // $XDG_DATA_DIRS, in order

    static FileManagerEntryPaths ForUser();
};

inline constexpr const char* kServiceMenuName = "velmora-add-files.desktop";
// The installed GNOME Files script, under a data folder.
inline constexpr const char* kInstalledScript = "velmora/nautilus-scripts/Add To Velmora";

// Brings the user's entries in line with menuText. Throws std::runtime_error naming
// the file that could not be written.
void FollowMenuText(const std::string& menuText, const FileManagerEntryPaths& paths);

// Takes the user's copies of Dolphin's service menu away ("-unregserver"). The GNOME
// Files script link is the user's own and stays. Throws std::runtime_error naming what
// could not be removed.
void RemoveServiceMenuCopies(const FileManagerEntryPaths& paths);

} // namespace velmora
