#include "platform/MessageWindow.h"

#include "platform/RuntimeFolder.h"
#include "platform/WindowMessages.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <cstring>
#include <sys/socket.h>

namespace velmora {

namespace {

// Writes the answer straight to the connection's socket: Qt's local socket cannot
// hand over descriptors. The 8 bytes go into an empty socket buffer, so this does not
// wait; a sender that has gone meanwhile is no error worth more than dropping it.
void WriteAnswer(qintptr socket, const MessageResult& answer)
{
    unsigned char bytes[kMessageResultSize];
    auto value = static_cast<std::uint64_t>(answer.result);
    for (int i = kMessageResultSize - 1; i >= 0; --i, value >>= 8)
        bytes[i] = static_cast<unsigned char>(value & 0xFF);
    iovec part{bytes, sizeof bytes};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr header{};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    if (answer.descriptor.Valid()) {
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        cmsghdr* rights = CMSG_FIRSTHDR(&header);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int));
        const int fd = answer.descriptor.Get();
        std::memcpy(CMSG_DATA(rights), &fd, sizeof fd);
    }
    (void)::sendmsg(static_cast<int>(socket), &header, MSG_NOSIGNAL);
}

} // namespace

MessageWindow::MessageWindow(std::string caption, QObject* parent)
    : QObject(parent)
    , m_caption(std::move(caption))
{
}

MessageWindow::~MessageWindow() = default;

bool MessageWindow::Create()
{
    if (IsCreated())
        return true;
    // Someone answers: a live window of this caption; never take its place (listening
    // with access options binds elsewhere and renames over whatever has the name).
    if (FindWindow(m_caption))
        return false;
    // Nobody answers: any socket file there is left by a process that died.
    QString name;
    try {
        name = QString::fromStdString(MessageEndpointName(m_caption));
    } catch (const RuntimeFolderRefused&) {
        return false;
    }
    QLocalServer::removeServer(name);
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name))
        return false;
    connect(server.get(), &QLocalServer::newConnection, this, &MessageWindow::Accept);
    m_server = std::move(server);
    return true;
}

bool MessageWindow::IsCreated() const
{
    return m_server && m_server->isListening();
}

void MessageWindow::Destroy()
{
    if (!m_server)
        return;
    m_server->close();
    // A handler of this window's own message may call Destroy: the server and its
    // connections go once control is back in the event loop.
    m_server.release()->deleteLater();
}

void MessageWindow::Accept()
{
    QPointer<MessageWindow> self(this);
    while (QLocalSocket* socket = self && m_server ? m_server->nextPendingConnection() : nullptr) {
        QPointer<QLocalSocket> guarded(socket);
        connect(socket, &QLocalSocket::readyRead, this, [this, guarded] {
            if (guarded)
                ReadRecords(guarded);
        });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Records may have arrived before the connection was taken.
        ReadRecords(socket);
    }
}

void MessageWindow::ReadRecords(QLocalSocket* socket)
{
    QPointer<QLocalSocket> guarded(socket);
    QPointer<MessageWindow> self(this);
    while (guarded && guarded->bytesAvailable() >= kWindowMessageRecordSize) {
        const QByteArray record = guarded->read(kWindowMessageRecordSize);
        QDataStream in(record);
        in.setByteOrder(QDataStream::BigEndian);
        quint32 message = 0;
        quint64 wParam = 0;
        qint64 lParam = 0;
        in >> message >> wParam >> lParam;
        if (m_answer) {
            const MessageResult answer = m_answer(WindowMessage{message, wParam, lParam});
            if (!guarded)
                return;
            WriteAnswer(guarded->socketDescriptor(), answer);
            if (guarded->bytesAvailable() < kWindowMessageRecordSize)
                guarded->abort();
            continue;
        }
        // A handler may run a nested event loop, close the window or destroy it.
        emit MessageReceived(message, wParam, lParam);
        if (!self)
            return;
    }
}

} // namespace velmora
