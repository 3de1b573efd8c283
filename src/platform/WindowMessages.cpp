#include "platform/WindowMessages.h"

#include "platform/RuntimeFolder.h"

#include <QByteArray>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QLocalSocket>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
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

QByteArray EncodeRecord(const WindowMessage& message)
{
    QByteArray record;
    QDataStream out(&record, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    out << quint32(message.message) << quint64(message.wParam) << qint64(message.lParam);
    return record;
}

// Takes the descriptors of an SCM_RIGHTS message: the first is kept, any further one
// closed at once, so nothing a window sends can leak here.
void TakeDescriptors(msghdr& header, MessageResult& answer)
{
    for (cmsghdr* control = CMSG_FIRSTHDR(&header); control != nullptr; control = CMSG_NXTHDR(&header, control)) {
        if (control->cmsg_level != SOL_SOCKET || control->cmsg_type != SCM_RIGHTS)
            continue;
        const std::size_t count = (control->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (std::size_t i = 0; i < count; ++i) {
            int fd = -1;
            std::memcpy(&fd, CMSG_DATA(control) + i * sizeof(int), sizeof(int));
            if (!answer.descriptor.Valid())
                answer.descriptor.Reset(fd);
            else
                ::close(fd);
        }
    }
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

    const QByteArray record = EncodeRecord(message);
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

std::optional<MessageResult> SendMessage(const std::string& caption, const WindowMessage& message, int timeoutMs)
{
    std::string path;
    try {
        path = MessageEndpointName(caption);
    } catch (const RuntimeFolderRefused&) {
        return std::nullopt;
    }
    // A plain socket: Qt's local socket cannot receive descriptors.
    UniqueFd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid())
        return std::nullopt;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return std::nullopt;
    const QByteArray record = EncodeRecord(message);
    if (::send(socket.Get(), record.constData(), static_cast<std::size_t>(record.size()), MSG_NOSIGNAL) !=
        record.size())
        return std::nullopt;

    MessageResult answer;
    unsigned char bytes[kMessageResultSize];
    std::size_t got = 0;
    const QDeadlineTimer deadline(timeoutMs);
    while (got < sizeof bytes) {
        pollfd ready{socket.Get(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, static_cast<int>(deadline.remainingTime()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return std::nullopt;
        iovec part{bytes + got, sizeof bytes - got};
        alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
        msghdr header{};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        const ssize_t read = ::recvmsg(socket.Get(), &header, MSG_CMSG_CLOEXEC);
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            return std::nullopt;
        TakeDescriptors(header, answer);
        got += static_cast<std::size_t>(read);
    }
    std::uint64_t result = 0;
    for (const unsigned char byte : bytes)
        result = (result << 8) | byte;
    answer.result = static_cast<std::int64_t>(result);
    return answer;
}

} // namespace velmora
