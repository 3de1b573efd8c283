// The player host's operations: creating the control, opening items, duration and
// position, the play-state events, volume, mute and focus.
#include "playback/PlayerHost.h"

#include "ui/MessageBoxes.h"
#include "dialogs/WaitCursor.h"
#include "platform/Skin.h"
#include "playback/PlayerBar.h"
#include "playback/FullScreen.h"
#include "playback/LegacyMediaPlayer.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PictureItem.h"
#include "playback/PlayStates.h"
#include "playback/PlayerScales.h"
#include "playback/PlayerVersion.h"
#include "playback/PlaylistSeam.h"
#include "playback/Slideshow.h"
#include "playback/StreamItemIdent.h"
#include "playback/StreamUrl.h"
#include "playback/VideoStreamServ.h"
#include "store/Library.h"
#include "store/MediaExtensions.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>

#include <stdexcept>
#include <utility>

namespace velmora {

namespace {

const QString kStateLabel = QStringLiteral("statuslabel2");
const QString kHintLabel = QStringLiteral("statuslabel1");

} // namespace

PlayerHost::PlayerHost(const PlayerHostParts& parts)
    : m_parts(parts)
    , m_fullScreen(std::make_unique<TfrmFullScreen>())
{
    tmrProgress.setInterval(kProgressInterval);
    connect(&tmrProgress, &QTimer::timeout, this, &PlayerHost::tmrProgressTimer);
    tmrStartPatience.setSingleShot(true);
    tmrStartPatience.setInterval(kStartPatienceMs);
    connect(&tmrStartPatience, &QTimer::timeout, this, [this] { FailItem(QString::fromLatin1(kCannotPlayText)); });
    ConnectCommands();
}

PlayerHost::~PlayerHost()
{
    tmrProgress.stop();
    // The controls go before the windows that hold their pictures.
    m_picture.reset();
    m_legacy.reset();
    m_modern.reset();
    m_fullScreen.reset();
}

QWidget* PlayerHost::Control() const
{
    if (m_legacy)
        return m_legacy->Control();
    if (m_modern)
        return m_modern->Control();
    return nullptr;
}

bool PlayerHost::CreatePlayer()
{
    try {
        if (!UsesModernPlayer(PlayerVersion)) {
            CreateLegacyPlayer();
            SetPlayerVisible(true);
        } else {
            CreateModernPlayer();
            SetPlayerVisible(false);
        }
        SetMediaDuration(0);
        ApplyStartVolume();
        return true;
    } catch (const std::exception&) {
        m_legacy.reset();
        m_modern.reset();
        SetMediaDuration(0);
        m_parts.boxes->ShowMessageBox(kCreateFailedMessage, mb::kOk);
        return false;
    }
}

void PlayerHost::CreateLegacyPlayer()
{
    m_legacy = std::make_unique<TLegacyMediaPlayer>(m_parts.pnlMoviePlayer);
    m_legacy->EnableContextMenu = false;
    m_legacy->AutoStart = false;
    m_legacy->AutoSize = false;
    m_legacy->SetDisplaySize(TLegacyMediaPlayer::kDisplayFitToSize);
    m_legacy->ShowPositionControls = false;
    m_legacy->ShowAudioControls = false;
    m_legacy->ShowControls = false;
    m_legacy->ShowGotoBar = false;
    m_legacy->ShowStatusBar = false;
    m_legacy->ShowTracker = false;
    m_legacy->ClickToPlay = false;
    m_legacy->SendPlayStateChangeEvents = true;
    connect(m_legacy.get(), &TLegacyMediaPlayer::OnPlayStateChange, this, &PlayerHost::PlayerPlayStateChangeDeprecated);
    connect(m_legacy.get(), &TLegacyMediaPlayer::DurationChange, this, &PlayerHost::PlayerDurationChange);
    PlaceControl(m_parts.pnlMoviePlayer);
}

void PlayerHost::CreateModernPlayer()
{
    m_modern = std::make_unique<TModernMediaPlayer>(m_parts.pnlMoviePlayer);
    PlaceControl(m_parts.pnlMoviePlayer);
    m_modern->setEnableContextMenu(false);
    m_modern->setStretchToFit(true);
    m_modern->settings().autoStart = false;
    m_modern->setUiMode(QStringLiteral("none"));
    connect(m_modern.get(), &TModernMediaPlayer::OnError, this, &PlayerHost::playerError);
    connect(m_modern.get(), &TModernMediaPlayer::OnPlayStateChange, this, &PlayerHost::PlayerPlayStateChange);
    connect(m_modern.get(), &TModernMediaPlayer::DurationChange, this, &PlayerHost::PlayerDurationChange);
    m_picture = std::make_unique<TPictureItem>(m_parts.pnlMoviePlayer);
    connect(m_picture.get(), &TPictureItem::Shown, this, &PlayerHost::PictureShown);
    connect(m_picture.get(), &TPictureItem::Ended, this, &PlayerHost::PictureEnded);
    connect(m_picture.get(), &TPictureItem::Failed, this, &PlayerHost::FailItem);
}

// The volume slider shows its start value before any player exists: the sound starts
// at that value, not at the player's full level, so the first touch of the slider
// does not jump.
void PlayerHost::ApplyStartVolume()
{
    CurrentVolume = m_parts.mainSkin->TrackBarValue(player_skin::kVolume);
    if (m_legacy)
        m_legacy->SetVolume(LegacyVolume(CurrentVolume));
    else if (m_modern)
        m_modern->settings().setVolume(CurrentVolume);
}

// Puts the control into a panel, filling it, over the panel's caption.
void PlayerHost::PlaceControl(QWidget* panel)
{
    QWidget* control = Control();
    if (control == nullptr)
        return;
    if (panel->layout()->indexOf(control) < 0) {
        if (auto* grid = qobject_cast<QGridLayout*>(panel->layout()))
            grid->addWidget(control, 0, 0);
        else
            panel->layout()->addWidget(control);
    }
    control->raise();
    control->setVisible(PlayerVisible);
}

void PlayerHost::OpenMediaItem(int ident)
{
    m_parts.actViewSlideshow->setEnabled(false);
    WaitCursor cursor;
    try {
        StopAndClearPlayer();
    } catch (const std::exception&) {
        // Opening goes on whatever the old item did.
    }
    try {
        std::string fileName;
        {
            db::Query record(m_parts.library->MainConnection(),
                             SqlFormat("Select rec_tnorigname from Record where rec_ident = %d", ident));
            if (record.Eof())
                throw std::runtime_error("The item is no longer in the library");
            fileName = record.AsString("rec_tnorigname");
        }
        m_parts.lblErrMessage1->clear();
        if (!m_parts.streamServer->Listening()) {
            // No URL could ever be answered: the player is given none to wait on.
            m_parts.pnlMoviePlayerCaption->setText(QString::fromLatin1(kNoStreamPortMessage));
            if (!std::exchange(m_toldNoStreamPort, true))
                m_parts.boxes->ShowMessageBox(kNoStreamPortMessage, mb::kOk | mb::kIconError);
            return;
        }
        // The server reads the item when the player connects: it is named first.
        StreamItemIdent = ident;
        const QString url = QString::fromStdString(m_parts.streamServer->ItemUrl(StreamUrlExtension(fileName)));
        if (m_legacy)
            m_legacy->SetFileName(url);
        else if (m_modern)
            m_modern->setURL(url);
        m_parts.mainSkin->SetLabelText(kHintLabel, QString());
    } catch (const std::exception& error) {
        m_parts.lblErrMessage1->setText(QString::fromStdString(error.what()));
    }
}

void PlayerHost::StopAndClearPlayer()
{
    SetMediaDuration(0);
    tmrStartPatience.stop();
    if (m_picture)
        m_picture->Close();
    if (m_legacy) {
        if (!m_legacy->FileName().isEmpty()) {
            m_legacy->Stop();
            m_legacy->Cancel();
            m_legacy->SetFileName(QString());
            m_legacy->SetDisplaySize(TLegacyMediaPlayer::kDisplayFitToSize);
        }
    } else if (m_modern) {
        if (!m_modern->URL().isEmpty()) {
            m_modern->controls().stop();
            m_modern->setURL(QString());
        }
    }
}

void PlayerHost::SetPlayerVisible(bool visible)
{
    PlayerVisible = visible;
    if (QWidget* control = Control())
        control->setVisible(visible);
}

void PlayerHost::SetMediaDuration(double seconds)
{
    MediaDuration = seconds;
    m_durationStandIn = false;
    Skin& main = *m_parts.mainSkin;
    Skin& fullScreen = m_fullScreen->fullScreenDSF();
    if (seconds > 0) {
        main.SetObjectEnabled(player_skin::kProgressBar, true);
        if (const auto bar = PositionBarValue(ControlPosition(), seconds))
            main.SetTrackBarValue(player_skin::kProgressBar, *bar);
        fullScreen.SetObjectEnabled(player_skin::kProgressBar, true);
        tmrProgress.start();
    } else {
        tmrProgress.stop();
        main.SetTrackBarValue(player_skin::kProgressBar, 0);
        main.SetObjectEnabled(player_skin::kProgressBar, false);
        fullScreen.SetObjectEnabled(player_skin::kProgressBar, false);
    }
}

void PlayerHost::tmrProgressTimer()
{
    if (SeekDragging > 0 || !HasPlayer())
        return;
    ShowPosition(ControlPosition());
}

void PlayerHost::ShowPosition(double position)
{
    const auto bar = PositionBarValue(position, MediaDuration);
    if (!bar)
        return;
    Skin& skin = FullScreenActive ? m_fullScreen->fullScreenDSF() : *m_parts.mainSkin;
    skin.SetTrackBarValue(player_skin::kProgressBar, *bar);
    skin.SetLabelText(player_skin::kTime, QString::fromStdString(FormatPlayTime(position)));
}

void PlayerHost::PlayerPlayStateChange(int newState)
{
    const PlayStateEffect effect = ModernPlayStateEffect(newState);
    ShowState(newState);
    if (effect.mediaEnded)
        MediaEnded = true;
    if (effect.playing) {
        tmrStartPatience.stop();
        if (!(MediaDuration > 0))
            FirstPlaySteps();
        if (m_modern)
            m_modern->SetObjectRects(m_modern->Control()->geometry(), kWholeClip);
    }
}

// The state's text, caption and menu check marks.
void PlayerHost::ShowState(int modernState)
{
    const PlayStateEffect effect = ModernPlayStateEffect(modernState);
    if (effect.text)
        m_parts.mainSkin->SetLabelText(kStateLabel, QString::fromLatin1(effect.text->data(), qsizetype(effect.text->size())));
    if (effect.clearCaption)
        m_parts.pnlMoviePlayerCaption->clear();
    if (effect.checks) {
        m_checkStop = effect.checks->stop;
        m_checkPlay = effect.checks->play;
        m_checkPause = effect.checks->pause;
        ApplyMenuChecks();
    }
}

void PlayerHost::FirstPlaySteps()
{
    m_parts.pnlMoviePlayerCaption->clear();
    SetPlayerVisible(true);
    SetMediaDuration(m_modern->currentMedia().duration);
    if (!(MediaDuration > 0)) {
        // No length known: the time runs on, the bars cannot seek.
        SetMediaDuration(10);
        m_parts.mainSkin->SetObjectEnabled(player_skin::kProgressBar, false);
        m_fullScreen->fullScreenDSF().SetObjectEnabled(player_skin::kProgressBar, false);
        m_durationStandIn = true;
    }
}

void PlayerHost::PlayerPlayStateChangeDeprecated(int /*oldState*/, int newState)
{
    const PlayStateEffect effect = LegacyPlayStateEffect(newState);
    if (effect.text)
        m_parts.mainSkin->SetLabelText(kStateLabel, QString::fromLatin1(effect.text->data(), qsizetype(effect.text->size())));
    if (effect.mediaEnded)
        MediaEnded = true;
    if (effect.playing && !(MediaDuration > 0))
        SetMediaDuration(m_legacy->Duration());
}

// A stream's length may become known only after playing began: it is taken then,
// instead of leaving the item with no length or with the 10 s stand-in.
void PlayerHost::PlayerDurationChange(double seconds)
{
    if (!(seconds > 0))
        return;
    const bool legacyWaiting = m_legacy && !(MediaDuration > 0) && m_legacy->PlayState() == legacy_state::kPlaying;
    if (m_durationStandIn || legacyWaiting)
        SetMediaDuration(seconds);
}

// An item the player cannot play ends, with the player's text, instead of waiting for
// ever at "Busy Please Wait ...".
void PlayerHost::playerError()
{
    if (!m_modern)
        return;
    QStringList& queue = m_modern->error().Queue();
    const QString text = queue.isEmpty() || queue.back().isEmpty() ? QString::fromLatin1(kCannotPlayText) : queue.back();
    m_modern->error().clearErrorQueue();
    if (!m_modern->URL().isEmpty())
        FailItem(text);
}

void PlayerHost::FailItem(const QString& text)
{
    if (m_itemFailed)
        return;   // the player's error and its invalid media come as two reports
    m_itemFailed = true;
    StopAndClearPlayer();
    SetPlayerVisible(false);
    m_parts.pnlMoviePlayerCaption->setText(text);
    m_fullScreen->lblContentPane->setText(text);
    m_parts.mainSkin->SetLabelText(kStateLabel, text);
    MediaEnded = true;
}

void PlayerHost::ApplyMenuChecks()
{
    m_parts.Stop1->setChecked(m_checkStop);
    m_parts.Play1->setChecked(m_checkPlay);
    m_parts.Pause1->setChecked(m_checkPause);
}

void PlayerHost::SetVolume(int value)
{
    CurrentVolume = value;
    if (m_legacy)
        m_legacy->SetVolume(LegacyVolume(value));
    else if (m_modern)
        m_modern->settings().setVolume(value);
    // Turning the volume turns the sound on (through the switches' change events).
    m_parts.mainSkin->SetSwitchState(player_skin::kMuteSwitch, true);
    m_fullScreen->fullScreenDSF().SetSwitchState(player_skin::kMuteSwitch, true);
}

void PlayerHost::SetMute(bool muted)
{
    Muted = muted;
    m_parts.Mute1->setChecked(muted);
    if (m_legacy)
        m_legacy->SetMute(muted);
    else if (m_modern)
        m_modern->settings().setMute(muted);
}

void PlayerHost::RefreshPlayerFocus()
{
    if (!PlayerVisible)
        return;
    QWidget* control = Control();
    if (control == nullptr)
        return;
    if (m_modern) {
        m_parts.pnlMoviePlayer->setEnabled(true);
        if (QWidget* focus = QApplication::focusWidget())
            focus->clearFocus();
        control->hide();
        control->show();
        control->setFocus();
        // The window that holds the picture comes to the front: the main window, or
        // the full-screen window while that is in use.
        QWidget* window = control->window();
        window->raise();
        window->activateWindow();
    }
    m_parts.pnlMoviePlayer->setEnabled(false);
}

void PlayerHost::PlayItem(int ident)
{
    tmrProgress.stop();
    tmrStartPatience.stop();
    m_itemFailed = false;
    if (m_picture)
        m_picture->Close();
    m_fullScreen->lblContentPane->setText(QString::fromLatin1(TfrmFullScreen::kLoadingCaption));
    if (m_legacy) {
        SetPlayerVisible(true);
        m_legacy->Stop();
    } else if (m_modern) {
        SetPlayerVisible(false);
        m_modern->controls().stop();
        m_modern->setURL(QString());
    }
    MediaEnded = false;
    m_parts.pnlMoviePlayerCaption->setText(QString::fromLatin1(kLoadingCaption));
    SeekDragging = 0;
    m_parts.mainSkin->SetTrackBarValue(player_skin::kProgressBar, 0);
    m_fullScreen->fullScreenDSF().SetTrackBarValue(player_skin::kProgressBar, 0);
    if (m_modern) {
        // Pictures are not the player's: they show on the page for the slideshow's delay.
        std::string fileName;
        try {
            db::Query record(m_parts.library->MainConnection(),
                             SqlFormat("Select rec_tnorigname from Record where rec_ident = %d", ident));
            if (!record.Eof())
                fileName = record.AsString("rec_tnorigname");
        } catch (const std::exception&) {
            // OpenMediaItem reads it again and shows what went wrong.
        }
        if (IsPictureFile(fileName)) {
            PlayPicture(ident, UpperExtension(fileName));
            MediaEnded = false;
            return;
        }
    }
    OpenMediaItem(ident);
    if (m_legacy) {
        m_legacy->Play();
    } else if (m_modern) {
        if (Muted)
            m_modern->settings().setMute(true);
        m_modern->controls().play();
        if (!m_modern->URL().isEmpty())
            tmrStartPatience.start();
    }
    MediaEnded = false;
}

void PlayerHost::PlayPicture(int ident, const std::string& extension)
{
    StopAndClearPlayer();
    m_parts.lblErrMessage1->clear();
    SlideshowOptions options = ReadSlideshowOptions(m_parts.library->MainConnection());
    if (options.delaySeconds <= 0)
        options = SlideshowOptions{};   // a delay that never ends would stop the list
    m_picture->ShowIn(FullScreenActive ? static_cast<QWidget*>(m_fullScreen->pnlContentPane)
                                       : static_cast<QWidget*>(m_parts.pnlMoviePlayer));
    m_picture->Open(ident, extension, options.IntervalMs());
}

void PlayerHost::PictureShown()
{
    m_parts.pnlMoviePlayerCaption->clear();
    ShowState(modern_state::kPlaying);
    SetMediaDuration(m_picture->DurationSeconds());
    // A picture's time runs; there is nothing to seek in it.
    m_parts.mainSkin->SetObjectEnabled(player_skin::kProgressBar, false);
    m_fullScreen->fullScreenDSF().SetObjectEnabled(player_skin::kProgressBar, false);
}

void PlayerHost::PictureEnded()
{
    // The time shows the whole delay: the entry has closed, so its position reads 0 now.
    if (SeekDragging == 0)
        ShowPosition(m_picture->DurationSeconds());
    tmrProgress.stop();
    ShowState(modern_state::kMediaEnded);
    MediaEnded = true;
}

void PlayerHost::ClearTime()
{
    const QString none = QString::fromStdString(FormatPlayTime(0));
    m_parts.mainSkin->SetLabelText(player_skin::kTime, none);
    m_fullScreen->fullScreenDSF().SetLabelText(player_skin::kTime, none);
}

void PlayerHost::StopForLock()
{
    if (m_legacy) {
        m_legacy->Stop();
        // The legacy control reports a stop as the end of the item; the play list
        // must not start the next one while the program is locked.
        MediaEnded = false;
        m_legacy->SetDisplaySize(TLegacyMediaPlayer::kDisplayFitToSize);
    } else if (m_modern) {
        tmrStartPatience.stop();
        // A play list picture holds too, or its end would start the next entry.
        PictureCommand(Command::Stop);
        m_modern->controls().stop();
        // The full-screen window stays on top of everything: it goes with the lock.
        if (FullScreenActive)
            SwitchFullScreen(false, false);
    }
}

void PlayerHost::PauseForSlideshow()
{
    tmrProgress.stop();
    if (m_picture && m_picture->IsRunning()) {
        m_picture->Pause();
        ShowState(modern_state::kPaused);
    } else if (m_legacy) {
        if (m_legacy->PlayState() == legacy_state::kPlaying)
            m_legacy->Pause();
    } else if (m_modern) {
        if (m_modern->playState() == modern_state::kPlaying)
            m_modern->controls().pause();
    }
}

double PlayerHost::ControlPosition() const
{
    if (m_picture && m_picture->IsOpen())
        return m_picture->PositionSeconds();
    if (m_legacy)
        return m_legacy->CurrentPosition();
    if (m_modern)
        return m_modern->controls().currentPosition();
    return 0;
}

double PlayerHost::ControlDuration() const
{
    if (m_picture && m_picture->IsOpen())
        return m_picture->DurationSeconds();
    if (m_legacy)
        return m_legacy->Duration();
    if (m_modern)
        return m_modern->currentMedia().duration;
    return 0;
}

} // namespace velmora
