#pragma once

#include "playback/Powersock.h"
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
// A connection is dropped when its peer sends nothing while a request is read, or
// takes nothing while a response is sent, for IdleTimeout; and no more than
// kMaxConnections are served at once: one accepted beyond them is closed at once.
// Each connection costs a thread, so clients that stall cannot pile up.
class TNMGeneralServer {
public:
    static constexpr std::chrono::milliseconds kIdleTimeout{30000};
    static constexpr int kMaxConnections = 32;

    TNMGeneralServer();
    // A listening instance stops first: every connection thread has ended when it returns.
    virtual ~TNMGeneralServer();
    TNMGeneralServer(const TNMGeneralServer&) = delete;
    TNMGeneralServer& operator=(const TNMGeneralServer&) = delete;

    // The port to listen on; 0 lets the system choose one (see BoundPort).
    int Port = 0;
    // How long a connection may stay silent while it is read from, or take nothing
    // while it is sent to, before it is dropped.
    std::chrono::milliseconds IdleTimeout = kIdleTimeout;

    // Starts listening on Port and accepting. A failure (the port is taken) is reported
    // in one line on standard error and is otherwise not an error: the program goes on
    // without the server. Returns whether any address listens.
    bool Listen();
    bool Listening() const { return m_acceptThread.joinable(); }
    // The port listened on: Port, or the one the system chose.
    int BoundPort() const { return m_boundPort; }
    // Stops accepting, interrupts every connection (reads, sends and pauses end) and
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

    // The connection's socket operations (connection instances only).
    std::string ReadLn() { return m_socket->ReadLn(); }
    void Writeln(std::string_view text) { m_socket->Writeln(text); }
    void SendStream(Stream& stream) { m_socket->SendStream(stream); }
    // Waits for duration unless the server stops meanwhile; false when it stops.
    bool Pause(std::chrono::milliseconds duration) const;

private:
    struct LiveConnection {
        std::unique_ptr<TNMGeneralServer> instance;
        std::thread thread;
        bool finished = false;
    };

    void AcceptLoop();
    void InstantiateServethread(UniqueFd socket);
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
