#pragma once

namespace velmora {

class SettingsStore;

// The per-user switches of the play list and the slideshow, in the section
// "Settings": each is read at start and written at once when its menu entry or
// button toggles it.
struct PlaybackSwitch {
    const char* name;
    bool defaultValue;
};

inline constexpr PlaybackSwitch kPlaylistRepeatSwitch{"PLRepeat", false};
inline constexpr PlaybackSwitch kPlaylistShuffleSwitch{"PLShuffle", false};
inline constexpr PlaybackSwitch kSlideshowCycleSwitch{"SSCycle", true};
inline constexpr PlaybackSwitch kSlideshowHideControlsSwitch{"SSHideCtrls", false};

bool ReadPlaybackSwitch(const SettingsStore& store, const PlaybackSwitch& setting);
void WritePlaybackSwitch(SettingsStore& store, const PlaybackSwitch& setting, bool on);

bool ReadPlaylistRepeat(const SettingsStore& store);
void WritePlaylistRepeat(SettingsStore& store, bool on);
bool ReadPlaylistShuffle(const SettingsStore& store);
void WritePlaylistShuffle(SettingsStore& store, bool on);
bool ReadSlideshowCycle(const SettingsStore& store);
void WriteSlideshowCycle(SettingsStore& store, bool on);
bool ReadSlideshowHideControls(const SettingsStore& store);
void WriteSlideshowHideControls(SettingsStore& store, bool on);

} // namespace velmora
