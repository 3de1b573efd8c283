#pragma once

#include <string>

namespace velmora {

class SettingsStore;

// The vendor's web site's address: the value "WebSite" of the "Settings" section,
// else the site the build names (ProductWebSite); without a trailing "/".
inline constexpr const char* kWebSiteValue = "WebSite";
std::string WebSiteAddress(const SettingsStore& store);

// "Online Help": site + "/onlinehelp.php".
std::string OnlineHelpAddress(const std::string& site);
// "Check for updates": site + "/updates.php?vmaj=1&vmin=1", the program's major and
// minor version in the query, so the page can tell whether a newer one exists.
std::string UpdatesAddress(const std::string& site);

} // namespace velmora
