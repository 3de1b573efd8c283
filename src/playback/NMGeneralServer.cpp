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
// response is still being torn down) without its connects being dropped and retried.
constexpr int kBacklog = 16;

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

bool TNMGeneralServer::Listen()
{
    if (Listening())
        return true;
    std::string failures;
    int port = Port;
    for (const auto& address : kLoopback) {
        int error = 0;
        UniqueFd fd = ListenOn(address, port, error);
        if (!fd.Valid()) {
            // A machine without IPv6 simply has no ::1 to listen on.
            if (address.family == AF_INET6 && (error == EAFNOSUPPORT || error == EADDRNOTAVAIL))
                continue;
            failures += std::string(failures.empty() ? "" : "; ") + address.text + ": " +
                        std::strerror(error);
            continue;
        }
        if (port == 0)
            port = LocalPort(fd.Get());   // the other address gets the same port
        m_listeners.push_back(std::move(fd));
    }
    if (!failures.empty())
        std::cerr << "velmora: the stream server cannot listen on port " << Port << " ("
                  << failures << ")" << std::endl;
    if (m_listeners.empty())
        return false;

    m_boundPort = port;
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
    std::vector<pollfd> fds;
    fds.push_back({m_stop.Get(), POLLIN, 0});
    fds.push_back({m_finished.Get(), POLLIN, 0});
    for (const auto& listener : m_listeners)
        fds.push_back({listener.Get(), POLLIN, 0});
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
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
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            UniqueFd socket(::accept4(fds[i].fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
            if (socket.Valid()) {
                // Beyond the limit the connection is closed as it comes: taken from the
                // queue rather than left there, so a client learns at once.
                if (LiveConnections() < kMaxConnections)
                    InstantiateServethread(std::move(socket));
            } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of resources: the pending connection stays queued; try again shortly
                // rather than spin.
                pollfd stop{m_stop.Get(), POLLIN, 0};
                ::poll(&stop, 1, 100);
            }
        }
    }
}

void TNMGeneralServer::InstantiateServethread(UniqueFd socket)
{
    std::unique_ptr<TNMGeneralServer> instance = InstantiateServer();
    instance->m_stopFd = m_stop.Get();
    instance->IdleTimeout = IdleTimeout;
    instance->m_boundPort = m_boundPort;
    instance->m_socket = std::make_unique<TPowersock>(std::move(socket), m_stop.Get(), IdleTimeout);

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

bool TNMGeneralServer::Pause(std::chrono::milliseconds duration) const
{
    pollfd stop{m_stopFd, POLLIN, 0};
    const auto until = std::chrono::steady_clock::now() + duration;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        const int ready = ::poll(&stop, m_stopFd >= 0 ? 1 : 0, static_cast<int>(left.count()));
        if (ready > 0)
            return false;
    }
}

} // namespace velmora
