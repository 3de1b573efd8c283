#include "app/WindowPlacement.h"

#include "platform/SettingsStore.h"

namespace velmora {

namespace {
constexpr const char* kScreen = SettingsStore::kScreen;
}

WindowPlacement WindowPlacement::Read(const SettingsStore& store)
{
    const WindowPlacement defaults;
    WindowPlacement placement;
    placement.height = store.ReadInteger(kScreen, "Height", defaults.height);
    placement.width = store.ReadInteger(kScreen, "Width", defaults.width);
    placement.top = store.ReadInteger(kScreen, "Top", defaults.top);
    placement.left = store.ReadInteger(kScreen, "Left", defaults.left);
    placement.maximized = store.ReadBool(kScreen, "Maximized", defaults.maximized);
    return placement;
}

void WindowPlacement::Write(SettingsStore& store) const
{
    store.WriteInteger(kScreen, "Top", top);
    store.WriteInteger(kScreen, "Left", left);
    store.WriteInteger(kScreen, "Width", width);
    store.WriteInteger(kScreen, "Height", height);
    store.WriteBool(kScreen, "Maximized", maximized);
}

} // namespace velmora
