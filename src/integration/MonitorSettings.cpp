#include "integration/MonitorSettings.h"

#include "store/LibraryFiles.h"

namespace velmora {

std::string DefaultMonitorDir()
{
    return JoinPath(GetDefaultDataDir(), "Monitor");
}

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
