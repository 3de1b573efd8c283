#include "playback/NMGeneralServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace velmora {

namespace {

// Room for a player that opens several connections at once (a seek while the previous
// response is still being torn down), and for its connection to be queued while
// another program floods the port, without its connects being dropped and retried.
constexpr int kBacklog = 256;
// Connections taken from the queue in one round, before the requests arriving are
// read again: a flood never delays the reading of a request that has come.
constexpr int kAcceptsPerRound = 64;
// Ports the system chooses that are tried before the server gives up.
constexpr int kFreePortAttempts = 8;

struct LoopbackAddress {
    int family;
    const char* text;
};
constexpr LoopbackAddress kLoopback[] = {{AF_INET, "127.0.0.1"}, {AF_INET6, "::1"}};

// Binds and listens on one loopback address; returns the socket, or an invalid one with
// error set.
UniqueFd ListenOn(const LoopbackAddress& address, int port, int& error)
{
    UniqueFd fd(::socket(address.family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        error = errno;
        return {};
    }
    const int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.family == AF_INET) {
        auto* in = reinterpret_cast<sockaddr_in*>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET, address.text, &in->sin_addr);
        length = sizeof(sockaddr_in);
    } else {
        ::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<std::uint16_t>(port));
        ::inet_pton(AF_INET6, address.text, &in6->sin6_addr);
        length = sizeof(sockaddr_in6);
    }
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&storage), length) != 0 ||
        ::listen(fd.Get(), kBacklog) != 0) {
        error = errno;
        return {};
    }
    return fd;
}

int LocalPort(int fd)
{
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0)
        return 0;
    if (storage.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    return ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
}

// Marks an eventfd readable; it stays readable until read.
void Signal(const UniqueFd& event)
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto ignored = ::write(event.Get(), &one, sizeof one);
}

void Drain(const UniqueFd& event)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const auto ignored = ::read(event.Get(), &count, sizeof count);
}

// One step below normal priority: serving media must not slow the user interface down.
void LowerThisThreadsPriority()
{
    const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, tid);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, tid, nice + 1);
}

} // namespace

TNMGeneralServer::TNMGeneralServer() = default;

TNMGeneralServer::~TNMGeneralServer()
{
    Stop();
}

std::vector<UniqueFd> TNMGeneralServer::ListenOnLoopback(int port, std::string& failures, bool& taken)
{
    std::vector<UniqueFd> listeners;
    for (const auto& address : kLoopback) {
        int error = 0;
        UniqueFd fd = ListenOn(address, port, error);
        if (!fd.Valid()) {
            // A machine without IPv6 simply has no ::1 to listen on.
            if (address.family == AF_INET6 && (error == EAFNOSUPPORT || error == EADDRNOTAVAIL))
                continue;
            taken = taken || error == EADDRINUSE || error == EACCES;
            failures += std::string(failures.empty() ? "" : "; ") + address.text + ": " + std::strerror(error);
            continue;
        }
        if (port == 0)
            port = LocalPort(fd.Get());   // the other address gets the same port
        listeners.push_back(std::move(fd));
    }
    return listeners;
}

bool TNMGeneralServer::Listen()
{
    if (Listening())
        return true;
    std::string failures;
    bool taken = false;
    m_listeners = ListenOnLoopback(Port, failures, taken);
    if (!failures.empty() && taken && AnyPortIfTaken && Port != 0) {
        // Another program (another user's server among them) has the port on one
        // loopback address at least: none of ours is used, or a player could reach
        // that program with our URL. A port the system chooses is free on the first
        // address; another one is tried when the second has it taken.
        m_listeners.clear();
        for (int attempt = 0; attempt < kFreePortAttempts; ++attempt) {
            std::string fallbackFailures;
            bool fallbackTaken = false;
            m_listeners = ListenOnLoopback(0, fallbackFailures, fallbackTaken);
            if (fallbackFailures.empty() && !m_listeners.empty())
                break;
            m_listeners.clear();
            if (attempt + 1 == kFreePortAttempts)
                failures += "; no free port either: " + fallbackFailures;
        }
        if (!m_listeners.empty()) {
            std::cerr << "velmora: port " << Port << " is taken (" << failures << "); the stream server listens on port "
                      << LocalPort(m_listeners.front().Get()) << " instead" << std::endl;
            failures.clear();
        }
    }
    if (!failures.empty())
        std::cerr << "velmora: the stream server cannot listen on port " << Port << " (" << failures << ")"
                  << std::endl;
    if (m_listeners.empty())
        return false;

    m_boundPort = LocalPort(m_listeners.front().Get());
    m_stop.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    m_finished.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_stop.Valid() || !m_finished.Valid()) {
        m_listeners.clear();
        throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
    }
    m_acceptThread = std::thread([this] { AcceptLoop(); });
    return true;
}

void TNMGeneralServer::AcceptLoop()
{
    RequestReception reception(
        kMaxArrivals, [this](std::string_view line) { return AdmitsRequestLine(line); }, Refusal());
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({m_stop.Get(), POLLIN, 0});
        fds.push_back({m_finished.Get(), POLLIN, 0});
        for (const auto& listener : m_listeners)
            fds.push_back({listener.Get(), POLLIN, 0});
        const std::size_t firstArrival = fds.size();
        reception.Watch(fds);
        if (::poll(fds.data(), fds.size(), reception.WaitMs()) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents & POLLIN)
            return;
        if (fds[1].revents & POLLIN) {
            Drain(m_finished);
            Reap();
        }
        // Requests that have come are served before anything new is accepted.
        for (ReceivedRequest& request : reception.Collect(fds.data() + firstArrival)) {
            // Beyond the limit the connection is closed as it comes, so a client learns
            // at once.
            if (LiveConnections() < kMaxConnections)
                InstantiateServethread(std::move(request));
        }
        for (std::size_t i = 2; i < firstArrival; ++i)
            if (fds[i].revents & POLLIN)
                AcceptFrom(fds[i].fd, reception);
    }
}

void TNMGeneralServer::AcceptFrom(int fd, RequestReception& reception)
{
    for (int accepted = 0; accepted < kAcceptsPerRound; ++accepted) {
        UniqueFd socket(::accept4(fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (socket.Valid()) {
            reception.Add(std::move(socket), RequestTime);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
            // Out of descriptors: an arrival that has not yet sent its request gives its
            // place up. Without one, the connection stays queued; try again shortly
            // rather than spin.
            if (reception.DropOldest())
                continue;
            pollfd stop{m_stop.Get(), POLLIN, 0};
            ::poll(&stop, 1, 100);
        }
        return;   // nothing more queued (EAGAIN), or a failure of this connection alone
    }
}

void TNMGeneralServer::InstantiateServethread(ReceivedRequest request)
{
    std::unique_ptr<TNMGeneralServer> instance = InstantiateServer();
    instance->m_stopFd = m_stop.Get();
    instance->IdleTimeout = IdleTimeout;
    instance->m_boundPort = m_boundPort;
    instance->m_socket = std::make_unique<TPowersock>(std::move(request.socket), m_stop.Get(), IdleTimeout,
                                                      std::move(request.received), request.peerClosed);

    std::lock_guard<std::mutex> guard(m_lock);
    LiveConnection& connection = m_connections.emplace_back();
    connection.instance = std::move(instance);
    try {
        connection.thread = std::thread([this, c = &connection] { RunConnection(c); });
        ++m_served;
    } catch (const std::system_error&) {
        m_connections.pop_back();   // no thread to be had: the connection is closed
    }
}

void TNMGeneralServer::RunConnection(LiveConnection* connection)
{
    LowerThisThreadsPriority();
    try {
        connection->instance->ServeConnection();
    } catch (...) {
        // Every error ends the connection silently.
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        connection->instance.reset();   // closes the socket
        connection->finished = true;
    }
    Signal(m_finished);
}

void TNMGeneralServer::Reap()
{
    std::list<LiveConnection> done;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            auto next = std::next(it);
            if (it->finished)
                done.splice(done.end(), m_connections, it);
            it = next;
        }
    }
    for (auto& connection : done)
        connection.thread.join();
}

void TNMGeneralServer::Stop()
{
    if (!Listening())
        return;
    Signal(m_stop);
    m_acceptThread.join();
    m_listeners.clear();
    // Every wait of a connection watches m_stop, so each thread ends promptly.
    std::list<LiveConnection> all;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        all.splice(all.end(), m_connections);
    }
    for (auto& connection : all)
        connection.thread.join();
    m_stop.Reset();
    m_finished.Reset();
}

int TNMGeneralServer::LiveConnections() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    int count = 0;
    for (const auto& connection : m_connections)
        if (!connection.finished)
            ++count;
    return count;
}

int TNMGeneralServer::ServedConnections() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_served;
}

bool TNMGeneralServer::Stopping() const
{
    if (m_stopFd < 0)
        return false;
    pollfd stop{m_stopFd, POLLIN, 0};
    return ::poll(&stop, 1, 0) > 0;
}

} // namespace velmora
