#pragma once

#include <string>

namespace velmora {

// What the player choice of the Settings page says and decides, without its widgets.
namespace player_choice {

inline constexpr const char* kRestartMessage =
    "You must restart velmora in order for the new media player settings to take effect";
inline constexpr const char* kAlreadyDefaultMessage = "You are currently using the default media player";

// "Confirm Player": the question for the chosen version (7 when "Media Player 7" is
// ticked, else 9), with the caution for version 9 when the machine has none.
std::string ConfirmQuestion(bool legacyChosen, int defaultPlayerVersion);
// "Default Player": the question when the player in use is not the default.
std::string RevertQuestion(int defaultPlayerVersion);
// The version "Confirm Player" stores.
int ChosenVersion(bool legacyChosen);
// "Default Player" has something to do.
bool CanRevert(int playerVersion, int defaultPlayerVersion);

} // namespace player_choice

} // namespace velmora
