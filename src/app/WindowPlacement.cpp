#include "app/WindowPlacement.h"

#include "settings/RegistryValues.h"

namespace velmora {

WindowPlacement WindowPlacement::Read(const SettingsStore& store)
{
    WindowPlacement placement;
    placement.height = registry::kScreenHeight.Read(store);
    placement.width = registry::kScreenWidth.Read(store);
    placement.top = registry::kScreenTop.Read(store);
    placement.left = registry::kScreenLeft.Read(store);
    placement.maximized = registry::kScreenMaximized.Read(store);
    return placement;
}

void WindowPlacement::Write(SettingsStore& store) const
{
    registry::kScreenTop.Write(store, top);
    registry::kScreenLeft.Write(store, left);
    registry::kScreenWidth.Write(store, width);
    registry::kScreenHeight.Write(store, height);
    registry::kScreenMaximized.Write(store, maximized);
}

} // namespace velmora
