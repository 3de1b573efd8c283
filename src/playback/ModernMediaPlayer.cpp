#include "playback/ModernMediaPlayer.h"

#include "playback/MediaEngine.h"
#include "playback/VideoDisplay.h"

#include <QAudio>
#include <QMediaPlayer>

#include <algorithm>
#include <cmath>

namespace velmora {

void TModernMediaPlayer::Controls::play()
{
    m_engine.Play();
}

void TModernMediaPlayer::Controls::stop()
{
    m_engine.Stop();
}

void TModernMediaPlayer::Controls::pause()
{
    m_engine.Pause();
}

double TModernMediaPlayer::Controls::currentPosition() const
{
    return m_engine.PositionSeconds();
}

void TModernMediaPlayer::Controls::setCurrentPosition(double seconds)
{
    m_engine.SetPositionSeconds(seconds);
}

// The control's volume is a slider's value: Qt turns it into a gain the ear hears as even steps.
int TModernMediaPlayer::Settings::volume() const
{
    const float linear = m_engine.Gain();
    const float logarithmic = QAudio::convertVolume(linear, QAudio::LinearVolumeScale, QAudio::LogarithmicVolumeScale);
    return static_cast<int>(std::lround(logarithmic * 100));
}

void TModernMediaPlayer::Settings::setVolume(int volume)
{
    const float logarithmic = std::clamp(volume, 0, 100) / 100.0f;
    m_engine.SetGain(QAudio::convertVolume(logarithmic, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale));
}

bool TModernMediaPlayer::Settings::mute() const
{
    return m_engine.Muted();
}

void TModernMediaPlayer::Settings::setMute(bool mute)
{
    m_engine.SetMuted(mute);
}

TModernMediaPlayer::TModernMediaPlayer(QWidget* parent)
    : m_engine(std::make_unique<TMediaEngine>(parent))
    , m_controls(*m_engine)
    , m_settings(*m_engine)
{
    connect(m_engine.get(), &TMediaEngine::ConditionChanged, this, &TModernMediaPlayer::ConditionChanged);
    connect(m_engine.get(), &TMediaEngine::DurationChanged, this, &TModernMediaPlayer::DurationChange);
    connect(m_engine.get(), &TMediaEngine::ErrorOccurred, this, [this](const QString& text) {
        m_error.Queue().append(text);
        emit OnError();
    });
}

TModernMediaPlayer::~TModernMediaPlayer() = default;

QWidget* TModernMediaPlayer::Control() const
{
    return m_engine->Video();
}

QWidget* TModernMediaPlayer::ShowIn(QWidget* panel)
{
    return m_engine->ShowIn(panel);
}

QString TModernMediaPlayer::URL() const
{
    return m_engine->Source();
}

void TModernMediaPlayer::setURL(const QString& url)
{
    m_engine->Open(url);
    if (!url.isEmpty() && m_settings.autoStart)
        m_engine->Play();
}

TModernMediaPlayer::Media TModernMediaPlayer::currentMedia() const
{
    return {m_engine->DurationSeconds(), m_engine->Source()};
}

bool TModernMediaPlayer::enableContextMenu() const
{
    return Control()->contextMenuPolicy() != Qt::NoContextMenu;
}

void TModernMediaPlayer::setEnableContextMenu(bool enable)
{
    Control()->setContextMenuPolicy(enable ? Qt::DefaultContextMenu : Qt::NoContextMenu);
}

void TModernMediaPlayer::SetObjectRects(const QRect& position, const QRect& clip)
{
    QWidget* control = Control();
    const QRect shown = position.intersected(clip);
    if (control->geometry() != shown)
        control->setGeometry(shown);
    control->update();
}

void TModernMediaPlayer::ConditionChanged()
{
    const PlayerStateNumbers numbers = m_engine->Numbers();
    if (numbers.error) {
        // Media that cannot be played is an error, not a state.
        m_error.Queue().append(QStringLiteral("The media cannot be played"));
        emit OnError();
        return;
    }
    if (!numbers.modern || *numbers.modern == m_playState)
        return;
    m_playState = *numbers.modern;
    emit OnPlayStateChange(m_playState);
}

} // namespace velmora
