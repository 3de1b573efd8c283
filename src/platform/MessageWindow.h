#pragma once

#include "platform/WindowMessages.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLocalServer;
class QLocalSocket;

namespace velmora {

// A hidden window that other processes find by its caption and post messages to (see
// WindowMessages.h for the endpoint and the record layout). Messages arrive as the
// signal MessageReceived on the thread the object lives in (the user-interface thread),
// from its event loop, in the order they were written.
class MessageWindow : public QObject {
    Q_OBJECT
public:
    explicit MessageWindow(std::string caption, QObject* parent = nullptr);
    ~MessageWindow() override;

    const std::string& Caption() const { return m_caption; }

    // Starts listening. A socket file left by a crashed process (nothing answers on
    // it) is removed first; a live window of the same caption is left alone and
    // Create returns false. Returns true when the window can now be found.
    bool Create();
    bool IsCreated() const;
    // Stops listening; the window can no longer be found.
    void Destroy();

    // Makes the window answer what is sent to it (SendMessage): each record is given
    // to answer, whose result goes back on the connection instead of MessageReceived
    // being emitted. The window's copy of a handed-over descriptor is closed once sent.
    using Answer = std::function<MessageResult(const WindowMessage&)>;
    void SetAnswer(Answer answer) { m_answer = std::move(answer); }

signals:
    void MessageReceived(quint32 message, quint64 wParam, qint64 lParam);

private:
    void Accept();
    void ReadRecords(QLocalSocket* socket);

    std::string m_caption;
    std::unique_ptr<QLocalServer> m_server;
    Answer m_answer;
};

} // namespace velmora
