// Moving the player's picture into the full-screen window and back.
#include "playback/PlayerHost.h"

#include "platform/Skin.h"
#include "playback/PlayerBar.h"
#include "playback/FullScreen.h"
#include "playback/LegacyMediaPlayer.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PictureItem.h"
#include "playback/PlaylistSeam.h"

#include <QFrame>

namespace velmora {

void PlayerHost::SetFullScreen(bool on)
{
    if (m_legacy) {
        // The legacy control has a full-screen mode of its own; the window is not used.
        m_legacy->SetDisplaySize(TLegacyMediaPlayer::kDisplayFullScreen);
        return;
    }
    if (m_modern)
        SwitchFullScreen(on, true);
}

// resume: an item of an active play list is stopped, and continued at the same
// position once the picture has moved (the control opens its URL again).
void PlayerHost::SwitchFullScreen(bool on, bool resume)
{
    // A play list picture only moves: there is nothing to reopen.
    const bool picture = m_picture && m_picture->IsOpen();
    const bool reopen = resume && m_parts.playlist->PlaylistActive() && !picture;
    QString url;
    double position = 0;
    if (reopen) {
        url = m_modern->currentMedia().sourceURL;
        position = m_modern->controls().currentPosition();
        m_modern->controls().stop();
        m_modern->setURL(QString());
    }

    Skin& main = *m_parts.mainSkin;
    Skin& fullScreen = m_fullScreen->fullScreenDSF();
    // Each window shows the picture in a display of its own (see TMediaEngine::ShowIn).
    QWidget* leaving = m_modern->Control();
    if (on) {
        m_fullScreen->TakeControl(m_modern->ShowIn(m_fullScreen->pnlContentPane));
        m_modern->Control()->setVisible(PlayerVisible);
        if (m_picture)
            m_picture->ShowIn(m_fullScreen->pnlContentPane);
        fullScreen.SetSwitchState(player_skin::kMuteSwitch, !Muted);
        fullScreen.SetTrackBarValue(player_skin::kVolume, main.TrackBarValue(player_skin::kVolume));
        m_fullScreen->ShowOver(m_parts.mainWindow);
    } else {
        main.SetSwitchState(player_skin::kMuteSwitch, !Muted);
        m_modern->ShowIn(m_parts.pnlMoviePlayer);
        PlaceControl(m_parts.pnlMoviePlayer);
        if (m_picture)
            m_picture->ShowIn(m_parts.pnlMoviePlayer);
        m_fullScreen->hide();
    }
    if (leaving != m_modern->Control())
        leaving->hide();
    m_modern->setStretchToFit(true);

    if (reopen) {
        m_modern->setURL(url);
        m_modern->controls().setCurrentPosition(position);
        m_modern->controls().play();
        tmrProgress.start();
    }
    m_modern->settings().setMute(Muted);
    m_modern->SetObjectRects(m_modern->Control()->geometry(), kWholeClip);
    FullScreenActive = on;
}

} // namespace velmora
