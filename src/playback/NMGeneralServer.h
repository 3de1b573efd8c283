#pragma once

#include "playback/Powersock.h"
#include "playback/RequestReception.h"
#include "platform/UniqueFd.h"

#include <chrono>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velmora {

class Stream;

// A small TCP server: the listening instance accepts on a thread of its own and serves
// every connection on a new thread, one step below normal priority, on a fresh instance
// of its own class (InstantiateServer) that holds the connection's socket. The listening
// instance keeps the live connections in a registry and ends them all when it stops.
//
// Only the loopback addresses (127.0.0.1 and ::1) are listened on: what is served is
// meant for the programs of this machine alone.
//
// A request's head (its request line and header lines) is received on the accepting
// thread (RequestReception): it gets RequestTime in all to arrive, a request the server
// refuses by its request line (AdmitsRequestLine) is answered and closed as soon as
// that line has come, and only a complete head is given a thread of its own. A
// connection being served is dropped when its peer takes nothing for IdleTimeout, and
// no more than kMaxConnections are served at once: one beyond them is closed at once.
// Each served connection costs a thread, so clients that stall cannot pile up, and
// clients that only connect, or trickle, never take a place of the player's.
class TNMGeneralServer {
public:
    static constexpr std::chrono::milliseconds kIdleTimeout{30000};
    static constexpr std::chrono::milliseconds kRequestTime{5000};
    static constexpr int kMaxConnections = 32;
    // Connections whose requests are still arriving; beyond them the oldest is closed.
    static constexpr int kMaxArrivals = 256;

    TNMGeneralServer();
    // A listening instance stops first: every connection thread has ended when it returns.
    virtual ~TNMGeneralServer();
    TNMGeneralServer(const TNMGeneralServer&) = delete;
    TNMGeneralServer& operator=(const TNMGeneralServer&) = delete;

    // The port to listen on; 0 lets the system choose one (see BoundPort).
    int Port = 0;
    // When Port is taken on a loopback address (by another program, another user's
    // server), listen on a port the system chooses instead, on both addresses.
    bool AnyPortIfTaken = false;
    // How long a connection may stay silent while it is read from, or take nothing
    // while it is sent to, before it is dropped.
    std::chrono::milliseconds IdleTimeout = kIdleTimeout;
    // How long a request's head may take to arrive, in all.
    std::chrono::milliseconds RequestTime = kRequestTime;

    // Starts listening on Port (or, see AnyPortIfTaken, another one) and accepting. A
    // failure, or a port taken, is reported in one line on standard error and is
    // otherwise not an error: the program goes on without the server. Returns whether
    // any address listens.
    bool Listen();
    bool Listening() const { return m_acceptThread.joinable(); }
    // The port listened on: Port, or the one the system chose.
    int BoundPort() const { return m_boundPort; }
    // Stops accepting, interrupts every connection (reads and sends end) and
    // waits until every connection thread has ended. Listen may be called again.
    void Stop();
    // Connections accepted whose thread has not yet finished serving.
    int LiveConnections() const;
    // Connections served since the server was made.
    int ServedConnections() const;

protected:
    // Serves one connection on its own thread; an error ends the connection silently.
    virtual void ServeConnection() = 0;
    // A fresh instance of the concrete class, to serve one connection.
    virtual std::unique_ptr<TNMGeneralServer> InstantiateServer() const = 0;
    // Whether a request with this first line (line end included) may be served at all;
    // one that may not gets Refusal() and is closed without being served. Called on
    // the accepting thread, on the listening instance.
    virtual bool AdmitsRequestLine(std::string_view) const { return true; }
    virtual std::string Refusal() const { return {}; }

    // The connection's socket operations (connection instances only).
    std::string ReadLn() { return m_socket->ReadLn(); }
    void Writeln(std::string_view text) { m_socket->Writeln(text); }
    void SendStream(Stream& stream) { m_socket->SendStream(stream); }
    // Whether the server has begun to stop.
    bool Stopping() const;

private:
    struct LiveConnection {
        std::unique_ptr<TNMGeneralServer> instance;
        std::thread thread;
        bool finished = false;
    };

    // Listens on port on each loopback address the machine has; failures says which
    // failed and why, taken whether one was in use by another program.
    static std::vector<UniqueFd> ListenOnLoopback(int port, std::string& failures, bool& taken);
    void AcceptLoop();
    // Accepts what the listener at fd has queued, a bounded number at a time.
    void AcceptFrom(int fd, RequestReception& reception);
    void InstantiateServethread(ReceivedRequest request);
    void RunConnection(LiveConnection* connection);
    // Joins the threads of finished connections; all of them when stopping.
    void Reap();

    // Listening instance.
    std::vector<UniqueFd> m_listeners;
    UniqueFd m_stop;       // eventfd: readable once Stop has begun
    UniqueFd m_finished;   // eventfd: a connection thread has finished
    std::thread m_acceptThread;
    int m_boundPort = 0;
    mutable std::mutex m_lock;
    std::list<LiveConnection> m_connections;
    int m_served = 0;   // guarded by m_lock

    // Connection instance.
    std::unique_ptr<TPowersock> m_socket;
    int m_stopFd = -1;     // the listening instance's m_stop
};

} // namespace velmora
