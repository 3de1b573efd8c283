#include "playback/PlayerChoice.h"

#include "playback/PlayerVersion.h"

namespace velmora::player_choice {

std::string ConfirmQuestion(bool legacyChosen, int defaultPlayerVersion)
{
    if (legacyChosen)
        return "Are you sure that you want to change the media player used to Media Player 7?\r\n\r\n"
               "Caution: Media Player 7 does not support certain file types";
    std::string question = "Are you sure that you want to change the media player used to Media Player 9?";
    if (!UsesModernPlayer(defaultPlayerVersion))
        question += "\r\n\r\nCaution: media player 9 support has not been detected on this computer";
    return question;
}

std::string RevertQuestion(int defaultPlayerVersion)
{
    return std::string("Are you sure that you would like to revert to the default media player?\r\n\r\n"
                       "On this machine the default player is: ") +
           (UsesModernPlayer(defaultPlayerVersion) ? "Media Player 9" : "Media Player 7");
}

int ChosenVersion(bool legacyChosen)
{
    return legacyChosen ? kLegacyPlayerVersion : kModernPlayerVersion;
}

bool CanRevert(int playerVersion, int defaultPlayerVersion)
{
    return playerVersion != defaultPlayerVersion;
}

} // namespace velmora::player_choice
