#include "platform/WindowMessages.h"

#include "platform/RuntimeFolder.h"

#include <QByteArray>
#include <QDataStream>
#include <QLocalSocket>

#include <sys/un.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr int kWriteTimeoutMs = 2000;

bool Connect(QLocalSocket& socket, const std::string& caption)
{
    try {
        socket.connectToServer(QString::fromStdString(MessageEndpointName(caption)));
    } catch (const RuntimeFolderRefused&) {
        return false;   // no private folder: no window of ours can be there
    }
    return socket.waitForConnected(kConnectTimeoutMs);
}

} // namespace

std::string MessageEndpointName(const std::string& caption)
{
    std::string name;
    name.reserve(caption.size() + 12);
    for (const char c : caption) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '.' || c == '_' || c == '-';
        name += plain ? c : '_';
    }
    name += "." + std::to_string(getuid());

    std::string full = PrivateRuntimeFolder() + "/" + name;
    if (full.size() >= sizeof(sockaddr_un{}.sun_path))
        throw RuntimeFolderRefused("the socket path " + full + " is too long");
    return full;
}

std::uint32_t RegisterWindowMessage(const std::string& name)
{
    // FNV-1a: the same number in every process, with no registry to ask.
    std::uint32_t hash = 2166136261u;
    for (const unsigned char c : name) {
        hash ^= c;
        hash *= 16777619u;
    }
    return 0xC000u + hash % 0x4000u;
}

bool FindWindow(const std::string& caption)
{
    QLocalSocket socket;
    const bool found = Connect(socket, caption);
    socket.abort();
    return found;
}

bool PostMessage(const std::string& caption, const WindowMessage& message)
{
    QLocalSocket socket;
    if (!Connect(socket, caption))
        return false;

    QByteArray record;
    {
        QDataStream out(&record, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::BigEndian);
        out << quint32(message.message) << quint64(message.wParam) << qint64(message.lParam);
    }
    if (socket.write(record) != record.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(kWriteTimeoutMs))
            return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kWriteTimeoutMs);
    return true;
}

} // namespace velmora
