// The player's commands: the main window's skin objects, the "Player" menu, the mouse
// released over the main window, and the full-screen window's skin objects.
#include "playback/PlayerHost.h"

#include "platform/Skin.h"
#include "playback/PlayerBar.h"
#include "playback/FullScreen.h"
#include "playback/LegacyMediaPlayer.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PictureItem.h"
#include "playback/PlayStates.h"
#include "playback/PlayerScales.h"
#include "playback/PlaylistSeam.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>

namespace velmora {

void PlayerHost::ConnectCommands()
{
    Skin* main = m_parts.mainSkin;
    connect(main, &Skin::MouseDown, this, &PlayerHost::spDynamicSkinForm1MouseDownEvent);
    connect(main, &Skin::MouseUp, this, &PlayerHost::spDynamicSkinForm1MouseUpEvent);
    connect(main, &Skin::TrackBarChange, this, &PlayerHost::spDynamicSkinForm1TrackBarChangeValueEvent);
    connect(main, &Skin::SwitchChange, this, &PlayerHost::spDynamicSkinForm1SwitchChangeStateEvent);

    // The "Player" menu's check marks show the play state, not the last click: each
    // handler puts them back after the entry has toggled its own.
    const auto menu = [this](QAction* entry, void (PlayerHost::*handler)()) {
        connect(entry, &QAction::triggered, this, [this, handler] {
            (this->*handler)();
            ApplyMenuChecks();
        });
    };
    menu(m_parts.Play1, &PlayerHost::Play1Click);
    menu(m_parts.Pause1, &PlayerHost::Pause1Click);
    menu(m_parts.Stop1, &PlayerHost::Stop1Click);
    menu(m_parts.Next1, &PlayerHost::Next1Click);
    menu(m_parts.Previous1, &PlayerHost::Last1Click);
    connect(m_parts.Mute1, &QAction::triggered, this, &PlayerHost::Mute1Click);

    m_parts.mainWindow->installEventFilter(this);
    m_parts.pnlMoviePlayer->installEventFilter(this);

    Skin& fullScreen = m_fullScreen->fullScreenDSF();
    connect(&fullScreen, &Skin::MouseDown, this, &PlayerHost::fullScreenDSFMouseDownEvent);
    connect(&fullScreen, &Skin::MouseUp, this, &PlayerHost::fullScreenDSFMouseUpEvent);
    connect(&fullScreen, &Skin::TrackBarChange, this, &PlayerHost::fullScreenDSFTrackBarChangeValueEvent);
    connect(&fullScreen, &Skin::SwitchChange, this, &PlayerHost::fullScreenDSFSwitchChangeStateEvent);
    connect(m_fullScreen.get(), &TfrmFullScreen::LeaveRequested, this, [this] { SetFullScreen(false); });
    connect(m_fullScreen.get(), &TfrmFullScreen::FormMouseUp, this, &PlayerHost::fullScreenFormMouseUp);
}

bool PlayerHost::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_parts.mainWindow && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        FormMouseUp();
    else if (watched == m_parts.pnlMoviePlayer && event->type() == QEvent::Resize)
        RefreshPlayerFocus();   // pnlMoviePlayerResize
    return QObject::eventFilter(watched, event);
}

// ---- state rules ----

bool PlayerHost::ControlPlayingOrPaused() const
{
    if (m_legacy)
        return m_legacy->PlayState() == legacy_state::kPlaying || m_legacy->PlayState() == legacy_state::kPaused;
    if (m_modern)
        return m_modern->playState() == modern_state::kPlaying || m_modern->playState() == modern_state::kPaused;
    return false;
}

// With the modern control Next and Previous act in every state: an item that hangs
// while it opens must not hold the list.
bool PlayerHost::NextAllowed() const
{
    if (m_legacy) {
        const int state = m_legacy->PlayState();
        return state == legacy_state::kStopped || state == legacy_state::kPaused || state == legacy_state::kPlaying;
    }
    return m_modern != nullptr;
}

bool PlayerHost::PictureCommand(Command command)
{
    if (!m_picture || !m_picture->IsOpen())
        return false;
    switch (command) {
    case Command::Play:
        if (m_picture->IsPaused()) {
            m_picture->Resume();
            ShowState(modern_state::kPlaying);
            tmrProgress.start();
        }
        break;
    case Command::Pause:
        if (m_picture->IsPaused()) {
            m_picture->Resume();
            ShowState(modern_state::kPlaying);
            tmrProgress.start();
        } else if (m_picture->IsRunning()) {
            m_picture->Pause();
            ShowState(modern_state::kPaused);
            tmrProgress.stop();
        }
        break;
    case Command::Stop:
        m_picture->Stop();
        ShowState(modern_state::kStopped);
        tmrProgress.stop();
        break;
    }
    return true;
}

// ---- the commands ----

void PlayerHost::Play1Click()
{
    if (!m_parts.playlist->PlaylistActive()) {
        m_parts.playlist->PlayPlaylist();
        return;
    }
    if (!HasPlayer() || PictureCommand(Command::Play))
        return;
    tmrProgress.start();
    if (m_legacy)
        m_legacy->Play();
    else
        m_modern->controls().play();
}

void PlayerHost::Pause1Click()
{
    if (PictureCommand(Command::Pause))
        return;
    if (m_legacy) {
        if (m_legacy->PlayState() == legacy_state::kPaused) {
            m_legacy->Play();
            tmrProgress.start();
        } else if (m_legacy->PlayState() == legacy_state::kPlaying) {
            m_legacy->Pause();
            tmrProgress.stop();
        }
    } else if (m_modern) {
        if (m_modern->playState() == modern_state::kPaused) {
            m_modern->controls().play();
            tmrProgress.start();
        } else if (m_modern->playState() == modern_state::kPlaying) {
            m_modern->controls().pause();
            tmrProgress.stop();
        }
    }
}

void PlayerHost::Stop1Click()
{
    if (PictureCommand(Command::Stop)) {
        m_parts.mainSkin->SetTrackBarValue(player_skin::kProgressBar, 0);
        return;
    }
    // An item still opening stops too: it may never get further.
    const bool opening = m_modern && !m_modern->URL().isEmpty() && tmrStartPatience.isActive();
    if (!ControlPlayingOrPaused() && !opening)
        return;
    tmrStartPatience.stop();
    if (m_legacy) {
        // A stop of the legacy control reads as the end of the item to the play list.
        m_legacy->Pause();
    } else {
        m_modern->controls().stop();
        m_parts.pnlMoviePlayerCaption->clear();
        m_parts.mainSkin->SetTrackBarValue(player_skin::kProgressBar, 0);
    }
    tmrProgress.stop();
}

void PlayerHost::Next1Click()
{
    if (NextAllowed())
        m_parts.playlist->PlayNextItem();
}

void PlayerHost::Last1Click()
{
    if (NextAllowed())
        m_parts.playlist->PlayPreviousItem();
}

void PlayerHost::Mute1Click()
{
    SetMute(!Muted);
    m_parts.mainSkin->SetSwitchState(player_skin::kMuteSwitch, !Muted);
}

void PlayerHost::StartSeek(Skin& skin)
{
    SeekDragging = 1;
    skin.SetLabelText(player_skin::kTime, QString());
}

void PlayerHost::SeekPreview(Skin& skin, int value)
{
    if (SeekDragging != 1)
        return;
    skin.SetLabelText(player_skin::kTime, QString::fromStdString(FormatPlayTime(BarPosition(ControlDuration(), value))));
}

void PlayerHost::SeekToBar(Skin& skin)
{
    const int bar = skin.TrackBarValue(player_skin::kProgressBar);
    if (m_legacy)
        m_legacy->SetCurrentPosition(BarPosition(m_legacy->Duration(), bar));
    else if (m_modern)
        m_modern->controls().setCurrentPosition(BarPosition(m_modern->currentMedia().duration, bar));
    tmrProgress.start();
}

void PlayerHost::spDynamicSkinForm1MouseDownEvent(const QString& name)
{
    if (name == player_skin::kPlay)
        Play1Click();
    else if (name == player_skin::kPause)
        Pause1Click();
    else if (name == player_skin::kStop)
        Stop1Click();
    else if (name == player_skin::kNext)
        Next1Click();
    else if (name == player_skin::kBack)
        Last1Click();
    else if (name == player_skin::kProgressBar)
        StartSeek(*m_parts.mainSkin);
}

void PlayerHost::spDynamicSkinForm1MouseUpEvent(const QString& name)
{
    if (name != player_skin::kProgressBar)
        return;
    // The bar lies on the window: its release ends the drag as the window's own
    // release does, or the position would stay frozen after the first seek.
    SeekDragging = 0;
    SeekToBar(*m_parts.mainSkin);
}

void PlayerHost::spDynamicSkinForm1TrackBarChangeValueEvent(const QString& name, int value)
{
    if (name == player_skin::kVolume)
        SetVolume(value);
    else if (name == player_skin::kProgressBar)
        SeekPreview(*m_parts.mainSkin, value);
}

void PlayerHost::spDynamicSkinForm1SwitchChangeStateEvent(const QString& name, bool on)
{
    if (name == player_skin::kMuteSwitch)
        SetMute(!on);   // switch on = sound on
}

void PlayerHost::FormMouseUp()
{
    if (SeekDragging != 1)
        return;
    SeekDragging = 0;
    SeekToBar(*m_parts.mainSkin);
}

// ---- the full-screen window's skin: it acts on the modern control ----

void PlayerHost::fullScreenDSFMouseDownEvent(const QString& name)
{
    Skin& skin = m_fullScreen->fullScreenDSF();
    if (name == player_skin::kPlay) {
        if (!m_parts.playlist->PlaylistActive()) {
            m_parts.playlist->PlayPlaylist();
        } else if (!PictureCommand(Command::Play) && m_modern) {
            tmrProgress.start();
            m_modern->controls().play();
        }
    } else if (name == player_skin::kPause) {
        if (PictureCommand(Command::Pause))
            return;
        if (m_modern && m_modern->playState() == modern_state::kPaused) {
            m_modern->controls().play();
            tmrProgress.start();
        } else if (m_modern && m_modern->playState() == modern_state::kPlaying) {
            m_modern->controls().pause();
            tmrProgress.stop();
        }
    } else if (name == player_skin::kStop) {
        tmrStartPatience.stop();
        if (!PictureCommand(Command::Stop) && m_modern)
            m_modern->controls().stop();
        tmrProgress.stop();
        skin.SetTrackBarValue(player_skin::kProgressBar, 0);
    } else if (name == player_skin::kNext) {
        m_parts.playlist->PlayNextItem();
    } else if (name == player_skin::kBack) {
        m_parts.playlist->PlayPreviousItem();
    } else if (name == player_skin::kProgressBar) {
        StartSeek(skin);
    }
}

void PlayerHost::fullScreenDSFMouseUpEvent(const QString& name)
{
    if (name == player_skin::kProgressBar) {
        SeekDragging = 0;   // as on the main window
        SeekToBar(m_fullScreen->fullScreenDSF());
    } else if (name == QLatin1String("closebutton")) {
        SetFullScreen(false);
    }
}

void PlayerHost::fullScreenDSFTrackBarChangeValueEvent(const QString& name, int value)
{
    if (name == player_skin::kVolume)
        m_parts.mainSkin->SetTrackBarValue(player_skin::kVolume, value);   // its change event sets the volume
    else if (name == player_skin::kProgressBar)
        SeekPreview(m_fullScreen->fullScreenDSF(), value);
}

void PlayerHost::fullScreenDSFSwitchChangeStateEvent(const QString& name, bool on)
{
    if (name == player_skin::kMuteSwitch)
        SetMute(!on);
}

void PlayerHost::fullScreenFormMouseUp()
{
    if (SeekDragging != 1)
        return;
    SeekDragging = 0;
    SeekToBar(m_fullScreen->fullScreenDSF());
}

} // namespace velmora
