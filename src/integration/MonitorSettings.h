#pragma once

#include "settings/RegistryValues.h"

#include <string>

namespace velmora {

// The folder watched when the settings name none: "Monitor" beside the executable.
// The program does not create it.
std::string DefaultMonitorDir();

namespace registry {
inline constexpr TextValue kMonitorDir{SettingsStore::kSettings, "Monitor Dir", &DefaultMonitorDir};
inline constexpr SwitchValue kBackgroundMonitor{SettingsStore::kSettings, "Background Monitor", true};
} // namespace registry

// The directory monitor's two per-user settings, as the main window reads them at
// creation and the settings page writes and reads back when it applies its changes.
struct MonitorSettings {
    std::string directory;
    bool enabled = true;

    // From the "Settings" section; an absent directory is DefaultMonitorDir(), an
    // absent or malformed switch is on.
    static MonitorSettings Read(const SettingsStore& store);
    void Write(SettingsStore& store) const;
};

} // namespace velmora
