#include "playback/Powersock.h"

#include "store/Stream.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

namespace velmora {

namespace {

[[noreturn]] void FailNetwork(const char* what, int error)
{
    throw SocketError(std::string(what) + ": " + std::strerror(error));
}

} // namespace

TPowersock::TPowersock(UniqueFd socket, int stopFd, std::chrono::milliseconds idleTimeout, std::string received,
                       bool peerClosed)
    : m_socket(std::move(socket)), m_stopFd(stopFd), m_idleTimeout(idleTimeout), m_input(std::move(received)),
      m_peerClosed(peerClosed)
{
}

void TPowersock::WaitFor(short events, int timeoutMs)
{
    pollfd fds[2] = {{m_socket.Get(), events, 0}, {m_stopFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, m_stopFd >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            FailNetwork("poll", errno);
        }
        if (ready == 0)
            throw SocketError(events == POLLIN ? "the peer sent nothing for too long"
                                               : "the peer took nothing for too long");
        if (m_stopFd >= 0 && (fds[1].revents & POLLIN))
            throw SocketError("the server is stopping");
        // Errors and hang-ups are left to the read or send that follows to report.
        return;
    }
}

std::string TPowersock::ReadLn()
{
    for (;;) {
        const auto end = m_input.find('\n');
        if (end != std::string::npos) {
            std::string line = m_input.substr(0, end + 1);
            m_input.erase(0, end + 1);
            return line;
        }
        if (m_peerClosed)
            return std::exchange(m_input, {});
        if (m_input.size() > kMaxLineLength)
            throw SocketError("a request line is too long");

        WaitFor(POLLIN, static_cast<int>(m_idleTimeout.count()));
        char buffer[4096];
        const ssize_t n = ::recv(m_socket.Get(), buffer, sizeof buffer, 0);
        if (n > 0)
            m_input.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0)
            m_peerClosed = true;
        else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            FailNetwork("recv", errno);
    }
}

void TPowersock::Send(const char* data, std::size_t count)
{
    while (count > 0) {
        // MSG_NOSIGNAL: a peer that has gone makes this call fail, never kills the process.
        const ssize_t n = ::send(m_socket.Get(), data, count, MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            count -= static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A peer that takes nothing for the idle timeout is dropped like a silent one:
            // each waiting connection holds a thread. A player paused for longer asks
            // again from where it stopped (with a range) when it resumes.
            WaitFor(POLLOUT, static_cast<int>(m_idleTimeout.count()));
        } else if (n < 0 && errno != EINTR) {
            FailNetwork("send", errno);
        }
    }
}

void TPowersock::Writeln(std::string_view text)
{
    std::string line(text);
    line += "\r\n";
    Send(line.data(), line.size());
}

void TPowersock::SendStream(Stream& stream)
{
    std::vector<char> piece(static_cast<std::size_t>(kMaxPiece));
    for (;;) {
        const std::int64_t n = stream.Read(piece.data(), kMaxPiece);
        if (n <= 0)
            return;
        Send(piece.data(), static_cast<std::size_t>(n));
    }
}

} // namespace velmora
