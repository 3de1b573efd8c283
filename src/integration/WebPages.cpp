#include "integration/WebPages.h"

#include "platform/SettingsStore.h"
#include "platform/VersionResource.h"

namespace velmora {

namespace {

std::string WithoutTrailingSlashes(std::string address)
{
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address;
}

} // namespace

std::string WebSiteAddress(const SettingsStore& store)
{
    const std::string site = WithoutTrailingSlashes(store.ReadString(SettingsStore::kSettings, kWebSiteValue, {}));
    return site.empty() ? WithoutTrailingSlashes(ProductWebSite()) : site;
}

std::string OnlineHelpAddress(const std::string& site)
{
    return site + "/onlinehelp.php";
}

std::string UpdatesAddress(const std::string& site)
{
    return site + "/updates.php?vmaj=" + std::to_string(ProductMajorVersion()) +
           "&vmin=" + std::to_string(ProductMinorVersion());
}

} // namespace velmora
