#include "playback/MediaEngine.h"

#include "playback/FrameRelay.h"
#include "playback/VideoDisplay.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QMediaPlayer>
#include <QPluginLoader>
#include <QUrl>
#include <QVideoSink>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace velmora {

// The table of play states reads Qt's numbers.
static_assert(int(MediaPlayback::Stopped) == QMediaPlayer::StoppedState);
static_assert(int(MediaPlayback::Playing) == QMediaPlayer::PlayingState);
static_assert(int(MediaPlayback::Paused) == QMediaPlayer::PausedState);
static_assert(int(MediaStatus::NoMedia) == QMediaPlayer::NoMedia);
static_assert(int(MediaStatus::Loading) == QMediaPlayer::LoadingMedia);
static_assert(int(MediaStatus::Loaded) == QMediaPlayer::LoadedMedia);
static_assert(int(MediaStatus::Stalled) == QMediaPlayer::StalledMedia);
static_assert(int(MediaStatus::Buffering) == QMediaPlayer::BufferingMedia);
static_assert(int(MediaStatus::Buffered) == QMediaPlayer::BufferedMedia);
static_assert(int(MediaStatus::EndOfMedia) == QMediaPlayer::EndOfMedia);
static_assert(int(MediaStatus::Invalid) == QMediaPlayer::InvalidMedia);

bool TMediaEngine::BackendAvailable()
{
    // GStreamer plays every kind the library takes from the stream server and needs
    // no sound device; Qt's other backend does not.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    const QString wanted = qEnvironmentVariable("QT_MEDIA_BACKEND");
    for (const QString& folder : QCoreApplication::libraryPaths()) {
        const QDir plugins(folder + QStringLiteral("/multimedia"));
        for (const QString& file : plugins.entryList(QDir::Files)) {
            QPluginLoader loader(plugins.absoluteFilePath(file));
            const QJsonObject meta = loader.metaData();
            if (!meta.value(QStringLiteral("IID")).toString().contains(QStringLiteral("QPlatformMediaPlugin")))
                continue;
            const QJsonArray keys = meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Keys")).toArray();
            if (keys.contains(wanted) && loader.load())
                return true;
        }
    }
    return false;
}

TMediaEngine::TMediaEngine(QWidget* parent)
{
    if (!BackendAvailable())
        throw std::runtime_error("Qt Multimedia has no working backend");
    MakePlayer(false);
    if (!m_player->isAvailable())
        throw std::runtime_error("Qt Multimedia's player is not available");
    // Made only once a player can be: the widget would stay behind in its parent.
    m_video = new TVideoDisplay(parent);
    m_displays.emplace_back(m_video);
    m_frames = std::make_unique<TFrameRelay>(m_video->videoSink());
    m_player->setVideoSink(m_frames->Sink());
    m_positionPatience.setSingleShot(true);
    m_positionPatience.setInterval(kPositionPatienceMs);
    connect(&m_positionPatience, &QTimer::timeout, this, &TMediaEngine::GiveUpPosition);
}

TMediaEngine::~TMediaEngine()
{
    // The open item is closed as any other, and every closed player finishes its rest
    // before it goes: a window closed right after a seek must not take that seek's
    // pipeline down under it (see RetirePlayer). The window's thread waits at most
    // kRetiredPlayerMs; the pipelines need nothing of it meanwhile. The players let go
    // of the widget and the stream before either goes.
    if (m_player && !m_player->source().isEmpty())
        RetirePlayer();
    if (m_player) {
        disconnect(m_player.get(), nullptr, this, nullptr);
        m_player.reset();   // never opened: it has no pipeline to take down
    }
    m_audio.reset();
    if (!m_retired.empty()) {
        auto until = m_retired.front().restsUntil;
        for (const Retired& retired : m_retired)
            until = std::max(until, retired.restsUntil);
        std::this_thread::sleep_until(until);
    }
    m_retired.clear();
    m_frames.reset();
    for (const QPointer<TVideoDisplay>& display : m_displays)
        delete display.data();
}

TVideoDisplay* TMediaEngine::ShowIn(QWidget* parent)
{
    TVideoDisplay* display = nullptr;
    for (const QPointer<TVideoDisplay>& made : m_displays)
        if (made && made->parentWidget() == parent)
            display = made;
    if (display == nullptr) {
        display = new TVideoDisplay(parent);
        display->hide();
        m_displays.emplace_back(display);
    }
    if (display != m_video) {
        m_video = display;
        m_frames->SetTarget(display->videoSink());
    }
    return display;
}

void TMediaEngine::MakePlayer(bool withSound)
{
    m_player = std::make_unique<QMediaPlayer>();
    if (m_frames)
        m_player->setVideoSink(m_frames->Sink());
    if (withSound)
        AttachSound();
    connect(m_player.get(), &QMediaPlayer::playbackStateChanged, this, &TMediaEngine::ConditionChanged);
    connect(m_player.get(), &QMediaPlayer::mediaStatusChanged, this, &TMediaEngine::StatusChanged);
    connect(m_player.get(), &QMediaPlayer::durationChanged, this,
            [this](qint64 milliseconds) { emit DurationChanged(milliseconds / 1000.0); });
    connect(m_player.get(), &QMediaPlayer::seekableChanged, this, &TMediaEngine::TakePendingPosition);
    connect(m_player.get(), &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString& text) {
        if (error != QMediaPlayer::NoError)
            emit ErrorOccurred(text);
    });
}

void TMediaEngine::AttachSound()
{
    m_audio = std::make_unique<QAudioOutput>();
    m_audio->setVolume(m_gain);
    m_audio->setMuted(m_muted);
    m_player->setAudioOutput(m_audio.get());
}

// Paused as it stands (Qt's pause seeks only out of its own stop), and taken down once
// any seek of its own is long over: see Open. Its picture and sound are taken off now:
// Qt flushes the pipeline with a seek whenever an output comes or goes, and its
// QMediaPlayer destructor takes the sound output off first. Left to the destructor,
// that seek set the HTTP source fetching again a few milliseconds before the pipeline
// went, and a request cut off like that can crash inside libsoup.
void TMediaEngine::RetirePlayer()
{
    disconnect(m_player.get(), nullptr, this, nullptr);
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
    m_player->setVideoSink(nullptr);
    m_player->setAudioOutput(nullptr);
    m_audio.reset();
    QMediaPlayer* player = m_player.get();
    m_retired.push_back({std::move(m_player), std::chrono::steady_clock::now() + std::chrono::milliseconds(kRetiredPlayerMs)});
    QTimer::singleShot(kRetiredPlayerMs, this, [this, player] {
        m_retired.remove_if([player](const Retired& retired) { return retired.player.get() == player; });
    });
}

void TMediaEngine::SetGain(float gain)
{
    m_gain = gain;
    if (m_audio)
        m_audio->setVolume(gain);
}

void TMediaEngine::SetMuted(bool muted)
{
    m_muted = muted;
    if (m_audio)
        m_audio->setMuted(muted);
}

// Qt's stop (which its setSource makes first) seeks to the start, and GStreamer's AVI
// reader finishes a seek on its own thread a few milliseconds later (after fetching its
// index again). A pipeline taken down meanwhile can deadlock for good in GStreamer 1.22's
// multiqueue (its flush-stop starts the task of a pad being deactivated). So an item is
// closed without Qt's stop: its player is paused and taken down a while later, and a
// fresh player opens the next item.
void TMediaEngine::Open(const QString& url)
{
    m_pendingPosition.reset();
    m_playWhenPositioned = false;
    m_positionPatience.stop();
    m_stopped = false;
    const bool withSound = m_audio || !url.isEmpty();
    if (!m_player->source().isEmpty()) {
        const bool hadDuration = m_player->duration() > 0;
        RetirePlayer();
        MakePlayer(withSound);
        if (hadDuration)
            emit DurationChanged(0);
        emit ConditionChanged();
    } else if (withSound && !m_audio) {
        AttachSound();
    }
    m_player->setSource(QUrl(url));
}

QString TMediaEngine::Source() const
{
    return m_player->source().toString();
}

void TMediaEngine::Play()
{
    if (m_stopped)
        LeaveStop();
    if (m_pendingPosition && !m_player->isSeekable()) {
        // Not from the start: it starts once it stands at the position asked for, or
        // from the start when it turns out it cannot seek.
        m_playWhenPositioned = true;
        m_positionPatience.start();
        m_player->pause();
        return;
    }
    m_player->play();
}

void TMediaEngine::GiveUpPosition()
{
    m_pendingPosition.reset();
    if (m_playWhenPositioned) {
        m_playWhenPositioned = false;
        m_player->play();
    }
}

void TMediaEngine::Pause()
{
    m_playWhenPositioned = false;
    if (m_stopped) {
        LeaveStop();
        emit ConditionChanged();
    }
    m_player->pause();
}

// A stop holds the item where it is and goes back to its start when it plays again,
// rather than seeking now as Qt's stop does: a stop is often followed at once by
// closing the item (see Open).
void TMediaEngine::Stop()
{
    m_pendingPosition.reset();
    m_playWhenPositioned = false;
    m_positionPatience.stop();
    if (m_player->playbackState() == QMediaPlayer::StoppedState)
        return;
    m_stopped = true;
    m_player->pause();
    emit ConditionChanged();
}

// Out of a stop: to the position asked for meanwhile, or back to the start.
void TMediaEngine::LeaveStop()
{
    m_stopped = false;
    if (m_pendingPosition)
        TakePendingPosition();
    else
        m_player->setPosition(0);
}

MediaPlayback TMediaEngine::Playback() const
{
    // Held at its start until it can take its position: it is being played all the same.
    if (m_playWhenPositioned)
        return MediaPlayback::Playing;
    if (m_stopped)
        return MediaPlayback::Stopped;
    return static_cast<MediaPlayback>(m_player->playbackState());
}

MediaStatus TMediaEngine::Status() const
{
    if (m_stopped)
        return MediaStatus::Loaded;   // as Qt reports a stopped item
    return static_cast<MediaStatus>(m_player->mediaStatus());
}

double TMediaEngine::DurationSeconds() const
{
    return m_player->duration() / 1000.0;
}

double TMediaEngine::PositionSeconds() const
{
    if (m_pendingPosition)
        return *m_pendingPosition / 1000.0;
    return m_stopped ? 0.0 : m_player->position() / 1000.0;
}

void TMediaEngine::SetPositionSeconds(double seconds)
{
    m_pendingPosition = static_cast<qint64>(seconds * 1000.0);
    TakePendingPosition();
}

// A stream becomes seekable only once the demuxer knows its layout (an AVI's index
// comes from its end, fetched with a ranged request); a seek before that is lost.
void TMediaEngine::TakePendingPosition()
{
    if (m_stopped)
        return;   // taken when it plays
    const MediaStatus status = Status();
    if (!m_pendingPosition || !m_player->isSeekable() || status == MediaStatus::Loading ||
        status == MediaStatus::NoMedia)
        return;
    const qint64 position = *m_pendingPosition;
    m_pendingPosition.reset();
    m_positionPatience.stop();
    m_player->setPosition(position);
    if (m_playWhenPositioned) {
        m_playWhenPositioned = false;
        m_player->play();
    }
}

void TMediaEngine::StatusChanged()
{
    TakePendingPosition();
    emit ConditionChanged();
}

} // namespace velmora
