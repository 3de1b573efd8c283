#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QVideoFrame>

class QVideoSink;

namespace velmora {

// The player's picture goes through a video sink living on a thread of its own and is
// handed on to the display's sink on the window's thread.
//
// Qt's GStreamer renderer gives each frame to its sink's thread and waits up to 300 ms
// for it to be taken. With the sink on the window's thread, every call that makes the
// pipeline wait for a frame (stopping, opening the next item, a seek) from that same
// thread stalled the window until the wait ran out. Here the frame is taken at once on
// the relay's thread, and only the newest one waits for the window.
class TFrameRelay : public QObject {
    Q_OBJECT
public:
    // Frames go to target, the display's sink.
    explicit TFrameRelay(QVideoSink* target);
    ~TFrameRelay() override;
    TFrameRelay(const TFrameRelay&) = delete;
    TFrameRelay& operator=(const TFrameRelay&) = delete;

    // The sink the player renders into.
    QVideoSink* Sink() const { return m_sink; }
    // Frames go to another display's sink from now on; it gets the newest frame at
    // once, so a paused movie does not show black there.
    void SetTarget(QVideoSink* target);

private:
    void Take(const QVideoFrame& frame);   // on the relay's thread
    void Deliver();                        // on the window's thread

    QThread m_thread;
    QVideoSink* m_sink = nullptr;   // lives on m_thread; deleted there
    QPointer<QVideoSink> m_target;
    QVideoFrame m_shown;            // the last frame handed to the display (window's thread)
    QMutex m_mutex;
    QVideoFrame m_pending;          // guarded by m_mutex
    bool m_posted = false;          // guarded by m_mutex
};

} // namespace velmora
