#include "app/PlaylistPlayerPort.h"

#include "platform/Skin.h"
#include "playback/FullScreen.h"
#include "playback/LegacyMediaPlayer.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PlayerBar.h"
#include "playback/PlayerHost.h"

namespace velmora {

PlaylistPlayerPort::PlaylistPlayerPort(PlayerHost& host, Skin& mainSkin, std::function<void()> showPlayingPage)
    : m_host(host), m_mainSkin(mainSkin), m_showPlayingPage(std::move(showPlayingPage))
{
}

void PlaylistPlayerPort::RefreshPlayerFocus()
{
    m_host.RefreshPlayerFocus();
}

void PlaylistPlayerPort::PlayCurrentEntry(int recIdent)
{
    m_host.PlayItem(recIdent);
}

void PlaylistPlayerPort::StopForChoice()
{
    m_host.tmrProgress.stop();
    if (TLegacyMediaPlayer* legacy = m_host.LegacyPlayer())
        legacy->Stop();
    else if (TModernMediaPlayer* modern = m_host.ModernPlayer())
        modern->controls().stop();
    m_host.MediaEnded = false;
    m_host.SeekDragging = 0;
    m_mainSkin.SetTrackBarValue(player_skin::kProgressBar, 0);
    m_host.FullScreenForm().fullScreenDSF().SetTrackBarValue(player_skin::kProgressBar, 0);
}

void PlaylistPlayerPort::PlayChosenEntry(int recIdent)
{
    m_host.PlayItem(recIdent);
}

void PlaylistPlayerPort::StopAndClearPlayer()
{
    m_host.StopAndClearPlayer();
}

bool PlaylistPlayerPort::MediaEnded() const
{
    return m_host.MediaEnded;
}

bool PlaylistPlayerPort::MediaFailed() const
{
    return m_host.ItemFailed();
}

} // namespace velmora
