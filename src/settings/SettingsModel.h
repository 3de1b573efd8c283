#pragma once

#include "settings/LibraryOptions.h"
#include "settings/UserSettings.h"

#include <functional>
#include <string>

namespace velmora {

class TDirMonitor;

namespace db {
class Connection;
}

// Everything the Settings page shows.
struct SettingsValues {
    UserSettings user;
    LibraryOptions library;
};

// The Settings page's reading and writing, without its widgets: where each value is
// kept, in which order a save writes them, and which errors it passes over.
class SettingsModel {
public:
    SettingsModel(db::Connection& library, TDirMonitor& monitor) : m_library(library), m_monitor(monitor) {}

    // The registry part (the monitor's two values as the monitor has them), then the
    // options row; a row that cannot be read leaves the library part at its defaults.
    SettingsValues Load() const;

    struct SaveOutcome {
        bool optionsWritten = false;
        // Why the per-user settings file could not be written; empty when it was.
        std::string settingsFileError;
    };
    // The monitor is paused for the whole save. The registry part is written first;
    // then applyUser lets the program take it over, applyLibrary the library part
    // (whether or not the row can be written, so the running program shows what the
    // user chose), and the options row is written, its errors passed over. Last the
    // monitor takes its two values back from the registry and runs again if enabled,
    // also when something above raised.
    SaveOutcome Save(const SettingsValues& values, const std::function<void()>& applyUser,
                     const std::function<void()>& applyLibrary);

private:
    db::Connection& m_library;
    TDirMonitor& m_monitor;
};

} // namespace velmora
