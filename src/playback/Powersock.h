#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

class Stream;

// The connection failed, the peer went silent for too long, or the server is stopping.
class SocketError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One connected TCP socket as the stream server uses it: line reads, whole writes and
// streams sent in bounded pieces. Every wait also watches the owner's stop signal, so
// a stopping server never waits on a peer.
class TPowersock {
public:
    static constexpr std::int64_t kMaxPiece = 65536;    // largest piece handed to the network
    static constexpr std::size_t kMaxLineLength = 8192; // a longer request line is refused

    // socket: a connected, non-blocking socket. stopFd: readable once the owner stops.
    // idleTimeout: how long a read waits for the peer's next bytes, and a send for the
    // peer to take some. received: bytes already read from it, which ReadLn returns
    // first; peerClosed: whether the peer has ended its sending after them.
    TPowersock(UniqueFd socket, int stopFd, std::chrono::milliseconds idleTimeout, std::string received = {},
               bool peerClosed = false);

    // Waits until a complete line (up to and including LF) has arrived and returns it
    // with its line end; returns an empty string once the peer has closed its side (a
    // last unterminated line comes first). SocketError when the peer is silent for the
    // idle timeout, the line grows too long, or the network fails.
    std::string ReadLn();
    // Sends text followed by CR LF.
    void Writeln(std::string_view text);
    // Sends stream from its current position to its end, in pieces of at most kMaxPiece.
    void SendStream(Stream& stream);
    // Sends every byte; waits while the network would block, up to the idle timeout
    // each time (SocketError then).
    void Send(const char* data, std::size_t count);

    int Handle() const { return m_socket.Get(); }

private:
    // Waits for events on the socket; SocketError when the owner stops or time runs out.
    void WaitFor(short events, int timeoutMs);

    UniqueFd m_socket;
    int m_stopFd;
    std::chrono::milliseconds m_idleTimeout;
    std::string m_input;        // bytes received and not yet returned by ReadLn
    bool m_peerClosed = false;
};

} // namespace velmora
