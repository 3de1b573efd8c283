#include "integration/MonitorSettings.h"

#include "settings/RegistryValues.h"

namespace velmora {

MonitorSettings MonitorSettings::Read(const SettingsStore& store)
{
    MonitorSettings settings;
    settings.directory = registry::kMonitorDir.Read(store);
    settings.enabled = registry::kBackgroundMonitor.Read(store);
    return settings;
}

void MonitorSettings::Write(SettingsStore& store) const
{
    registry::kMonitorDir.Write(store, directory);
    registry::kBackgroundMonitor.Write(store, enabled);
}

} // namespace velmora
