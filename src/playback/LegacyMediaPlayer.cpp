#include "playback/LegacyMediaPlayer.h"

#include "playback/MediaEngine.h"
#include "playback/VideoDisplay.h"

#include <QAudio>

#include <algorithm>

namespace velmora {

TLegacyMediaPlayer::TLegacyMediaPlayer(QWidget* parent)
    : m_engine(std::make_unique<TMediaEngine>(parent))
{
    connect(m_engine.get(), &TMediaEngine::ConditionChanged, this, &TLegacyMediaPlayer::ConditionChanged);
    connect(m_engine.get(), &TMediaEngine::DurationChanged, this, &TLegacyMediaPlayer::DurationChange);
    connect(m_engine->Video(), &TVideoDisplay::LeaveFullScreenRequested, this,
            [this] { SetDisplaySize(kDisplayFitToSize); });
}

TLegacyMediaPlayer::~TLegacyMediaPlayer() = default;

QWidget* TLegacyMediaPlayer::Control() const
{
    return m_engine->Video();
}

QString TLegacyMediaPlayer::FileName() const
{
    return m_engine->Source();
}

void TLegacyMediaPlayer::SetFileName(const QString& fileName)
{
    m_engine->Open(fileName);
    if (!fileName.isEmpty() && AutoStart)
        m_engine->Play();
}

double TLegacyMediaPlayer::Duration() const
{
    return m_engine->DurationSeconds();
}

double TLegacyMediaPlayer::CurrentPosition() const
{
    return m_engine->PositionSeconds();
}

void TLegacyMediaPlayer::SetCurrentPosition(double seconds)
{
    m_engine->SetPositionSeconds(seconds);
}

void TLegacyMediaPlayer::SetVolume(int hundredthsOfDecibel)
{
    m_volume = std::clamp(hundredthsOfDecibel, kMinimumVolume, 0);
    const float gain = QAudio::convertVolume(m_volume / 100.0f, QAudio::DecibelVolumeScale, QAudio::LinearVolumeScale);
    m_engine->SetGain(gain);
}

bool TLegacyMediaPlayer::Mute() const
{
    return m_engine->Muted();
}

void TLegacyMediaPlayer::SetMute(bool mute)
{
    m_engine->SetMuted(mute);
}

void TLegacyMediaPlayer::SetDisplaySize(int size)
{
    m_displaySize = size;
    auto* video = m_engine->Video();
    const bool fullScreen = size == kDisplayFullScreen;
    if (video->isFullScreen() == fullScreen)
        return;
    video->setFullScreen(fullScreen);
    if (fullScreen) {
        // A window of its own now: the disabled panel it came from must not keep the
        // keyboard (Escape) and the mouse from it.
        video->setEnabled(true);
        video->activateWindow();
        video->setFocus();
    }
}

void TLegacyMediaPlayer::Play()
{
    m_engine->Play();
}

void TLegacyMediaPlayer::Stop()
{
    m_engine->Stop();
}

void TLegacyMediaPlayer::Pause()
{
    m_engine->Pause();
}

void TLegacyMediaPlayer::Cancel()
{
    if (m_engine->Status() == MediaStatus::Loading)
        m_engine->Open(QString());
}

void TLegacyMediaPlayer::ConditionChanged()
{
    const PlayerStateNumbers numbers = m_engine->Numbers();
    if (!numbers.legacy || *numbers.legacy == m_playState)
        return;
    const int oldState = m_playState;
    m_playState = *numbers.legacy;
    if (SendPlayStateChangeEvents)
        emit OnPlayStateChange(oldState, m_playState);
}

} // namespace velmora
