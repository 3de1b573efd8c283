#pragma once

#include "settings/RegistryValues.h"

#include <span>
#include <string>

namespace velmora {

// The per-user part of the Settings page, as the registry table keeps it.
struct UserSettings {
    std::string monitorDir;
    bool monitorEnabled = true;
    std::string shellMenuText;
    bool shellExtensionEnabled = true;
    bool playlistRepeat = false;
    bool playlistShuffle = false;
    bool slideshowCycle = true;
    bool slideshowHideControls = false;
    bool lockOnScreenLock = true;

    // Each switch with the registry entry that keeps it.
    struct Switch {
        const SwitchValue* stored;
        bool UserSettings::*value;
    };
    static std::span<const Switch> Switches();

    static UserSettings Read(const SettingsStore& store);
    void Write(SettingsStore& store) const;

    bool operator==(const UserSettings&) const = default;
};

} // namespace velmora
