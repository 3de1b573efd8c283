#include "settings/UserSettings.h"

#include "integration/MonitorSettings.h"

#include <array>

namespace velmora {

std::span<const UserSettings::Switch> UserSettings::Switches()
{
    static constexpr std::array<Switch, 7> kSwitches{{
        {&registry::kShellExtensionEnabled, &UserSettings::shellExtensionEnabled},
        {&registry::kBackgroundMonitor, &UserSettings::monitorEnabled},
        {&registry::kPlaylistRepeat, &UserSettings::playlistRepeat},
        {&registry::kPlaylistShuffle, &UserSettings::playlistShuffle},
        {&registry::kSlideshowCycle, &UserSettings::slideshowCycle},
        {&registry::kSlideshowHideControls, &UserSettings::slideshowHideControls},
        {&registry::kLockOnScreenLock, &UserSettings::lockOnScreenLock},
    }};
    return kSwitches;
}

UserSettings UserSettings::Read(const SettingsStore& store)
{
    UserSettings settings;
    settings.monitorDir = registry::kMonitorDir.Read(store);
    settings.shellMenuText = registry::kShellMenuText.Read(store);
    for (const Switch& entry : Switches())
        settings.*entry.value = entry.stored->Read(store);
    return settings;
}

void UserSettings::Write(SettingsStore& store) const
{
    registry::kMonitorDir.Write(store, monitorDir);
    registry::kShellMenuText.Write(store, shellMenuText);
    for (const Switch& entry : Switches())
        entry.stored->Write(store, this->*entry.value);
}

} // namespace velmora
