#pragma once

#include <string>

namespace velmora {

class SettingsStore;

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
