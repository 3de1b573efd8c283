#pragma once

#include "playback/PlayStates.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <list>
#include <memory>
#include <optional>

class QAudioOutput;
class QMediaPlayer;
class QVideoWidget;
class QWidget;

namespace velmora {

class TFrameRelay;
class TVideoDisplay;

// Qt Multimedia's player, its sound output and its video widget, as both player
// controls use them: opening, starting, pausing and stopping, times in seconds, and
// Qt's conditions reported as the controls' play states.
class TMediaEngine : public QObject {
    Q_OBJECT
public:
    // Throws std::runtime_error when Qt Multimedia has no working backend; the video
    // widget is made a child of parent.
    explicit TMediaEngine(QWidget* parent);
    ~TMediaEngine() override;
    TMediaEngine(const TMediaEngine&) = delete;
    TMediaEngine& operator=(const TMediaEngine&) = delete;

    // Whether a player can be made at all. Qt ends the process when its backend is
    // missing, so this looks for the backend's plugin without making a player; it
    // also chooses the GStreamer backend when QT_MEDIA_BACKEND names none.
    static bool BackendAvailable();

    // The display in use: the player's picture goes there.
    TVideoDisplay* Video() const { return m_video; }
    // The picture goes to a display in parent, made on first use. A display never moves
    // to another top-level window: Qt's video window behind it stays black for good
    // once it has been moved, so each window holds a display of its own.
    TVideoDisplay* ShowIn(QWidget* parent);
    QMediaPlayer& Player() const { return *m_player; }
    // The sound output's gain (linear, 0..1) and mute. The output itself is made when
    // the first item opens: a program that never plays never reaches the sound server.
    float Gain() const { return m_gain; }
    void SetGain(float gain);
    bool Muted() const { return m_muted; }
    void SetMuted(bool muted);

    // Opens a URL without starting it (asynchronously); an empty one closes the item.
    void Open(const QString& url);
    QString Source() const;
    void Play();
    void Pause();
    void Stop();

    MediaPlayback Playback() const;
    MediaStatus Status() const;
    PlayerStateNumbers Numbers() const { return MapPlayerState(Playback(), Status()); }

    double DurationSeconds() const;
    double PositionSeconds() const;
    // A seek. Until the item can seek (while it opens) the position is kept, reported
    // as the position, and taken once it can: a seek before that is lost. Play meanwhile
    // holds the item at its start until then; an item that cannot seek within
    // kPositionPatienceMs plays from its start.
    static constexpr int kPositionPatienceMs = 5000;
    void SetPositionSeconds(double seconds);

    // Players of closed items not yet taken down: each rests kRetiredPlayerMs first.
    int ClosedPlayersResting() const { return static_cast<int>(m_retired.size()); }

signals:
    // Qt's playback state or media status changed: the play states may have.
    void ConditionChanged();
    void DurationChanged(double seconds);
    void ErrorOccurred(const QString& text);

private:
    void MakePlayer(bool withSound);
    void AttachSound();
    void RetirePlayer();
    void LeaveStop();
    void StatusChanged();
    void TakePendingPosition();
    void GiveUpPosition();

    std::unique_ptr<TFrameRelay> m_frames;   // between the player and the video widget
    std::unique_ptr<QAudioOutput> m_audio;   // one per player, made with it
    std::unique_ptr<QMediaPlayer> m_player;  // one per item: see Open
    // Players of closed items, until kRetiredPlayerMs after their closing.
    struct Retired {
        std::unique_ptr<QMediaPlayer> player;
        std::chrono::steady_clock::time_point restsUntil;
    };
    static constexpr int kRetiredPlayerMs = 1000;
    std::list<Retired> m_retired;
    float m_gain = 1.0f;
    bool m_muted = false;
    TVideoDisplay* m_video = nullptr;   // the one in m_displays in use
    std::list<QPointer<TVideoDisplay>> m_displays;   // made here, owned by their parents
    std::optional<qint64> m_pendingPosition;   // milliseconds
    bool m_playWhenPositioned = false;          // Play came while a position was pending
    bool m_stopped = false;                     // stopped, held where it was: see Stop
    QTimer m_positionPatience;
};

} // namespace velmora
