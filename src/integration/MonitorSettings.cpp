#include "integration/MonitorSettings.h"

#include "integration/DirMonitor.h"
#include "platform/SettingsStore.h"

namespace velmora {

MonitorSettings MonitorSettings::Read(const SettingsStore& store)
{
    MonitorSettings settings;
    settings.directory = store.ReadString(SettingsStore::kSettings, kDirectoryValue, DefaultMonitorDir());
    settings.enabled = store.ReadBool(SettingsStore::kSettings, kEnabledValue, true);
    return settings;
}

void MonitorSettings::Write(SettingsStore& store) const
{
    store.WriteString(SettingsStore::kSettings, kDirectoryValue, directory);
    store.WriteBool(SettingsStore::kSettings, kEnabledValue, enabled);
}

} // namespace velmora
