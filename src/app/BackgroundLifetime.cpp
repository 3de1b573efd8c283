#include "app/BackgroundLifetime.h"

namespace velmora {

namespace {

// While ending, how often pending work is looked at again.
constexpr int kEndCheckMs = 100;

} // namespace

BackgroundLifetime::BackgroundLifetime(std::function<bool()> busy, int idleMs, QObject* parent)
    : QObject(parent)
    , m_busy(std::move(busy))
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleMs);
    connect(&m_idle, &QTimer::timeout, this, &BackgroundLifetime::IdlePassed);
    m_endCheck.setInterval(kEndCheckMs);
    connect(&m_endCheck, &QTimer::timeout, this, &BackgroundLifetime::CheckEnd);
}

void BackgroundLifetime::Start()
{
    if (!m_ending)
        m_idle.start();
}

void BackgroundLifetime::Activity()
{
    if (m_ending)
        CheckEnd();
    else
        m_idle.start();
}

void BackgroundLifetime::IdlePassed()
{
    // A long add answers when it is over; the wait starts again then.
    if (m_busy())
        m_idle.start();
    else
        EndWhenIdle();
}

void BackgroundLifetime::EndWhenIdle()
{
    if (m_ending)
        return;
    m_ending = true;
    m_idle.stop();
    emit Ending();
    // Calls that reached the process before the name went are served first: they are
    // looked at from the event loop, after what is already queued there.
    m_endCheck.start();
}

void BackgroundLifetime::CheckEnd()
{
    if (m_ended || m_busy())
        return;
    m_ended = true;
    m_endCheck.stop();
    emit Ended();
}

} // namespace velmora
