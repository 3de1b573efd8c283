#include "settings/PlaybackSwitches.h"

#include "platform/SettingsStore.h"

namespace velmora {

bool ReadPlaybackSwitch(const SettingsStore& store, const PlaybackSwitch& setting)
{
    return store.ReadBool(SettingsStore::kSettings, setting.name, setting.defaultValue);
}

void WritePlaybackSwitch(SettingsStore& store, const PlaybackSwitch& setting, bool on)
{
    store.WriteBool(SettingsStore::kSettings, setting.name, on);
    // Written at once: the program may end without a word (the lock, a crash).
    store.Flush();
}

bool ReadPlaylistRepeat(const SettingsStore& store) { return ReadPlaybackSwitch(store, kPlaylistRepeatSwitch); }
void WritePlaylistRepeat(SettingsStore& store, bool on) { WritePlaybackSwitch(store, kPlaylistRepeatSwitch, on); }
bool ReadPlaylistShuffle(const SettingsStore& store) { return ReadPlaybackSwitch(store, kPlaylistShuffleSwitch); }
void WritePlaylistShuffle(SettingsStore& store, bool on) { WritePlaybackSwitch(store, kPlaylistShuffleSwitch, on); }
bool ReadSlideshowCycle(const SettingsStore& store) { return ReadPlaybackSwitch(store, kSlideshowCycleSwitch); }
void WriteSlideshowCycle(SettingsStore& store, bool on) { WritePlaybackSwitch(store, kSlideshowCycleSwitch, on); }
bool ReadSlideshowHideControls(const SettingsStore& store)
{
    return ReadPlaybackSwitch(store, kSlideshowHideControlsSwitch);
}
void WriteSlideshowHideControls(SettingsStore& store, bool on)
{
    WritePlaybackSwitch(store, kSlideshowHideControlsSwitch, on);
}

} // namespace velmora
