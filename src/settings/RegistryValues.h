#pragma once

#include "platform/SettingsStore.h"

#include <string>

namespace velmora {

// Every per-user value the program keeps, in one table: where it lives, its default
// and how it is read. Each part of the program reads and writes its values through
// these entries, so a default is written down once. Numbers are read only from plain
// decimal text; a switch is on for any number but 0; anything absent or malformed
// reads as the default.

struct TextValue {
    const char* section;
    const char* name;
    std::string (*defaultValue)();   // made when read: some depend on where the program is

    std::string Read(const SettingsStore& store) const;
    void Write(SettingsStore& store, const std::string& value) const;
};

struct SwitchValue {
    const char* section;
    const char* name;
    bool defaultValue;

    bool Read(const SettingsStore& store) const;
    void Write(SettingsStore& store, bool on) const;
};

struct NumberValue {
    const char* section;
    const char* name;
    int defaultValue;

    int Read(const SettingsStore& store) const;
    // For a value whose default is known only at run time.
    int Read(const SettingsStore& store, int defaultValue) const;
    void Write(SettingsStore& store, int value) const;
};

namespace registry {

std::string NoText();
std::string DefaultShellMenuText();

// The directory monitor's two are in integration/MonitorSettings.h, beside the default
// folder they name.
// Shell extension.
inline constexpr TextValue kShellMenuText{SettingsStore::kSettings, "shellextext", &DefaultShellMenuText};
inline constexpr SwitchValue kShellExtensionEnabled{SettingsStore::kSettings, "shellextenb", true};
// Play list and slideshow.
inline constexpr SwitchValue kPlaylistRepeat{SettingsStore::kSettings, "PLRepeat", false};
inline constexpr SwitchValue kPlaylistShuffle{SettingsStore::kSettings, "PLShuffle", false};
inline constexpr SwitchValue kSlideshowCycle{SettingsStore::kSettings, "SSCycle", true};
inline constexpr SwitchValue kSlideshowHideControls{SettingsStore::kSettings, "SSHideCtrls", false};
// The player generation to host; its default is the best one the machine has, so it
// is read with that default (0 here stands for "detect").
inline constexpr NumberValue kMediaPlayerVersion{SettingsStore::kSettings, "MediaPlayerVersion", 0};
// The program folder, written at every start for other programs; never read here.
inline constexpr TextValue kAppPath{SettingsStore::kSettings, "AppPath", &NoText};
// The lock follows the desktop's screen lock and sleep.
inline constexpr SwitchValue kLockOnScreenLock{SettingsStore::kSettings, "LockOnScreenLock", true};
// Main window placement.
inline constexpr NumberValue kScreenLeft{SettingsStore::kScreen, "Left", 100};
inline constexpr NumberValue kScreenTop{SettingsStore::kScreen, "Top", 100};
inline constexpr NumberValue kScreenWidth{SettingsStore::kScreen, "Width", 800};
inline constexpr NumberValue kScreenHeight{SettingsStore::kScreen, "Height", 600};
inline constexpr SwitchValue kScreenMaximized{SettingsStore::kScreen, "Maximized", false};

} // namespace registry

} // namespace velmora
