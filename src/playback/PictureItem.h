#pragma once

#include "playback/PictureLoader.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <string>

class QWidget;

namespace velmora {

class TImageAspect;

// A picture entry of the play list on the Playing page: the picture is read and
// decoded off the window's thread, shown in the player's panel and kept there for the
// slideshow's delay, then the entry ends as a movie does at its end. It can be paused,
// resumed and stopped like a movie.
class TPictureItem : public QObject {
    Q_OBJECT
public:
    // The picture control is made in panel, hidden.
    explicit TPictureItem(QWidget* panel);
    ~TPictureItem() override;
    TPictureItem(const TPictureItem&) = delete;
    TPictureItem& operator=(const TPictureItem&) = delete;

    // Starts reading the item's picture; Shown or Failed follows.
    void Open(int recIdent, const std::string& extension, int delayMs);
    // The entry goes: the picture hidden and dropped, nothing follows.
    void Close();
    // An entry is open: being read, shown, paused or stopped.
    bool IsOpen() const { return m_state != State::Closed; }
    bool IsRunning() const { return m_state == State::Running; }
    bool IsPaused() const { return m_state == State::Paused; }

    // The delay holds where it is / runs on (from the start after Stop).
    void Pause();
    void Resume();
    // The delay goes back to its start and waits for Resume; the picture stays.
    void Stop();

    double PositionSeconds() const;
    double DurationSeconds() const { return m_delayMs / 1000.0; }

    // The picture control moves to another panel (the full-screen window's).
    void ShowIn(QWidget* panel);
    QWidget* Control() const;

signals:
    void Shown();                        // on screen; the delay runs
    void Failed(const QString& error);   // could not be read or decoded
    void Ended();                        // the delay has passed

private:
    enum class State { Closed, Loading, Running, Paused };

    void Loaded(quint64 generation, const QImage& picture, const QString& error);
    qint64 ElapsedMs() const;

    PictureLoader m_loader;
    std::uint64_t m_generation = 0;
    QPointer<TImageAspect> m_picture;   // owned by the panel it is in
    State m_state = State::Closed;
    int m_delayMs = 0;
    QTimer m_delay;
    QElapsedTimer m_clock;        // since the last start or resume
    qint64 m_elapsedBefore = 0;   // shown before the last pause, milliseconds
};

} // namespace velmora
