#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace velmora {

// How long a start without a window lives. It serves the file managers' calls: it ends a
// few seconds after its last call was answered, or after it started when no call comes;
// and, once its work is done, when its bus connection has gone or a start that wants a
// window asks it to give way. It never ends while work is pending (a call being served,
// a message the user has not closed).
class BackgroundLifetime : public QObject {
    Q_OBJECT
public:
    // How long it waits for a (further) call.
    static constexpr int kIdleMs = 5000;

    // busy tells whether work is pending now.
    explicit BackgroundLifetime(std::function<bool()> busy, int idleMs = kIdleMs, QObject* parent = nullptr);

    // The wait for the first call starts.
    void Start();
    bool IsEnding() const { return m_ending; }

public slots:
    // A call came or was answered, or a message was closed: the wait starts again.
    void Activity();
    // No further call is taken; the process ends once nothing is pending.
    void EndWhenIdle();

signals:
    // No call is taken from now on: the bus name is to be given up.
    void Ending();
    // Nothing is pending any more: the process is to end.
    void Ended();

private:
    void IdlePassed();
    void CheckEnd();

    std::function<bool()> m_busy;
    QTimer m_idle;
    QTimer m_endCheck;
    bool m_ending = false;
    bool m_ended = false;
};

} // namespace velmora
