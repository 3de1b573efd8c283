#include "settings/SettingsModel.h"

#include "integration/DirMonitor.h"
#include "integration/MonitorSettings.h"
#include "platform/SettingsStore.h"

namespace velmora {

namespace {

// Pauses the monitor; on the way out it takes its values from the registry and runs
// again when enabled.
class MonitorPause {
public:
    explicit MonitorPause(TDirMonitor& monitor) : m_monitor(monitor) { m_monitor.Suspend(); }
    ~MonitorPause()
    {
        MonitorSettings settings;
        try {
            settings = MonitorSettings::Read(SettingsStore());
        } catch (const std::exception&) {
            settings = {m_monitor.Directory(), m_monitor.Enabled()};
        }
        m_monitor.SetDirectory(settings.directory);
        m_monitor.SetEnabled(settings.enabled);
        m_monitor.ResumeIfEnabled();
    }
    MonitorPause(const MonitorPause&) = delete;
    MonitorPause& operator=(const MonitorPause&) = delete;

private:
    TDirMonitor& m_monitor;
};

} // namespace

SettingsValues SettingsModel::Load() const
{
    SettingsValues values;
    values.user = UserSettings::Read(SettingsStore());
    values.user.monitorDir = m_monitor.Directory();
    values.user.monitorEnabled = m_monitor.Enabled();
    try {
        values.library = LibraryOptions::Read(m_library);
    } catch (const std::exception&) {
        // Shown at their defaults; saving writes them.
    }
    return values;
}

SettingsModel::SaveOutcome SettingsModel::Save(const SettingsValues& values, const std::function<void()>& applyUser,
                                               const std::function<void()>& applyLibrary)
{
    SaveOutcome outcome;
    const MonitorPause pause(m_monitor);
    {
        SettingsStore store;
        values.user.Write(store);
        try {
            store.Flush();
        } catch (const std::exception& failure) {
            outcome.settingsFileError = failure.what();
        }
    }
    if (applyUser)
        applyUser();
    if (applyLibrary)
        applyLibrary();
    try {
        values.library.Write(m_library);
        outcome.optionsWritten = true;
    } catch (const std::exception&) {
        // The options row is the library's; a library that cannot be written keeps
        // what it had, and the rest of the save stands.
    }
    return outcome;
}

} // namespace velmora
