#pragma once

#include "playback/Playlist.h"

#include <functional>

namespace velmora {

class PlayerHost;
class Skin;

// The player as the play list drives it: the host's steps of starting, stopping and
// ending an item.
class PlaylistPlayerPort : public PlaylistPlayer {
public:
    PlaylistPlayerPort(PlayerHost& host, Skin& mainSkin, std::function<void()> showPlayingPage);

    void ShowPlayingPage() override { m_showPlayingPage(); }
    void RefreshPlayerFocus() override;
    void PlayCurrentEntry(int recIdent) override;
    void StopForChoice() override;
    void PlayChosenEntry(int recIdent) override;
    void StopAndClearPlayer() override;
    bool MediaEnded() const override;
    bool MediaFailed() const override;

private:
    PlayerHost& m_host;
    Skin& m_mainSkin;
    std::function<void()> m_showPlayingPage;
};

} // namespace velmora
