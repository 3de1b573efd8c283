#pragma once

namespace velmora {

class SettingsStore;

// The main window's placement as the "Screen" section keeps it: the restored (normal)
// rectangle and whether the window was maximized.
struct WindowPlacement {
    int top = 100;
    int left = 100;
    int width = 800;
    int height = 600;
    bool maximized = false;

    // Absent or malformed values take the defaults above.
    static WindowPlacement Read(const SettingsStore& store);
    void Write(SettingsStore& store) const;

    bool operator==(const WindowPlacement&) const = default;
};

} // namespace velmora
