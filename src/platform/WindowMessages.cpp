#include "platform/WindowMessages.h"

#include <QByteArray>
#include <QDataStream>
#include <QLocalSocket>

#include <cstdlib>
#include <sys/un.h>
#include <unistd.h>

namespace velmora {

namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr int kWriteTimeoutMs = 2000;

bool Connect(QLocalSocket& socket, const std::string& caption)
{
    socket.connectToServer(QString::fromStdString(MessageEndpointName(caption)));
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

    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        std::string full = std::string(runtime) + "/" + name;
        // A socket path must fit sockaddr_un; a longer one falls back to the temp folder.
        if (full.size() < sizeof(sockaddr_un{}.sun_path))
            return full;
    }
    return name;
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
