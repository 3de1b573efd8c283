#include "playback/FrameRelay.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QVideoSink>

namespace velmora {

TFrameRelay::TFrameRelay(QVideoSink* target)
    : m_target(target)
{
    m_thread.setObjectName(QStringLiteral("video frames"));
    m_thread.start();
    // Made on its own thread, so that Qt's renderer, which takes its sink's thread, lives
    // there too.
    QObject there;
    there.moveToThread(&m_thread);
    QMetaObject::invokeMethod(
        &there,
        [this, &there, home = thread()] {
            m_sink = new QVideoSink;
            there.moveToThread(home);
        },
        Qt::BlockingQueuedConnection);
    connect(m_sink, &QVideoSink::videoFrameChanged, m_sink, [this](const QVideoFrame& frame) { Take(frame); },
            Qt::DirectConnection);
}

TFrameRelay::~TFrameRelay()
{
    // Deleted on its own thread, between two frames; a frame already posted to the
    // window goes with this object.
    QMetaObject::invokeMethod(m_sink, [sink = m_sink] { delete sink; }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void TFrameRelay::Take(const QVideoFrame& frame)
{
    QMutexLocker lock(&m_mutex);
    m_pending = frame;
    if (m_posted)
        return;   // the window has not taken the last one yet: it gets this one instead
    m_posted = true;
    QMetaObject::invokeMethod(this, &TFrameRelay::Deliver, Qt::QueuedConnection);
}

void TFrameRelay::Deliver()
{
    QVideoFrame frame;
    {
        QMutexLocker lock(&m_mutex);
        frame = std::move(m_pending);
        m_pending = QVideoFrame();
        m_posted = false;
    }
    m_shown = frame;
    if (m_target)
        m_target->setVideoFrame(frame);
}

void TFrameRelay::SetTarget(QVideoSink* target)
{
    m_target = target;
    if (m_target && m_shown.isValid())
        m_target->setVideoFrame(m_shown);
}

} // namespace velmora
