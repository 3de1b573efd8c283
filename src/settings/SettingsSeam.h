#pragma once

namespace velmora {

struct LibraryOptions;
struct UserSettings;

// What the Settings page hands to the running program when it loads or applies its
// values: the program runs with these, not with the page's controls.
class SettingsSeam {
public:
    virtual ~SettingsSeam() = default;

    // The play list and slideshow switches (and the Repeat and Shuffle menu entries'
    // check marks), the shell extension's menu text and switch.
    virtual void ApplyUserSettings(const UserSettings& settings) = 0;
    // The application title, the picture's enlarging, the thumbnail switch, and the
    // drop's delete default read afresh.
    virtual void ApplyLibraryOptions(const LibraryOptions& options) = 0;
};

} // namespace velmora
