#pragma once

#include "settings/RegistryValues.h"

namespace velmora {

// The main window's placement as the "Screen" section keeps it: the restored (normal)
// rectangle and whether the window was maximized.
struct WindowPlacement {
    int top = registry::kScreenTop.defaultValue;
    int left = registry::kScreenLeft.defaultValue;
    int width = registry::kScreenWidth.defaultValue;
    int height = registry::kScreenHeight.defaultValue;
    bool maximized = registry::kScreenMaximized.defaultValue;

    // Absent or malformed values take the registry table's defaults.
    static WindowPlacement Read(const SettingsStore& store);
    void Write(SettingsStore& store) const;

    bool operator==(const WindowPlacement&) const = default;
};

} // namespace velmora
