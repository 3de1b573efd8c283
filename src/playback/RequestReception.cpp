#include "playback/RequestReception.h"

#include <algorithm>
#include <cerrno>
#include <sys/socket.h>

namespace velmora {

namespace {

// Whether received holds an empty line: the end of a request head.
bool HeadComplete(const std::string& received)
{
    for (std::size_t start = 0;;) {
        const auto end = received.find('\n', start);
        if (end == std::string::npos)
            return false;
        const std::size_t length = end - start;
        if (length == 0 || (length == 1 && received[start] == '\r'))
            return true;
        start = end + 1;
    }
}

} // namespace

RequestReception::RequestReception(std::size_t capacity, std::function<bool(std::string_view)> admitsLine,
                                   std::string refusal)
    : m_capacity(capacity), m_admitsLine(std::move(admitsLine)), m_refusal(std::move(refusal))
{
}

void RequestReception::Add(UniqueFd socket, std::chrono::milliseconds requestTime)
{
    if (m_arrivals.size() >= m_capacity)
        DropOldest();
    Arrival& arrival = m_arrivals.emplace_back();
    arrival.request.socket = std::move(socket);
    arrival.deadline = Clock::now() + requestTime;
}

bool RequestReception::DropOldest()
{
    if (m_arrivals.empty())
        return false;
    m_arrivals.erase(m_arrivals.begin());
    return true;
}

void RequestReception::Watch(std::vector<pollfd>& fds) const
{
    for (const auto& arrival : m_arrivals)
        fds.push_back({arrival.request.socket.Get(), POLLIN, 0});
}

int RequestReception::WaitMs() const
{
    if (m_arrivals.empty())
        return -1;
    const auto earliest = std::min_element(m_arrivals.begin(), m_arrivals.end(), [](const auto& a, const auto& b) {
                              return a.deadline < b.deadline;
                          })->deadline;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(earliest - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

std::vector<ReceivedRequest> RequestReception::Collect(const pollfd* watched)
{
    std::vector<ReceivedRequest> complete;
    std::vector<Arrival> waiting;
    waiting.reserve(m_arrivals.size());
    const auto now = Clock::now();
    for (std::size_t i = 0; i < m_arrivals.size(); ++i) {
        Arrival& arrival = m_arrivals[i];
        Progress progress = Progress::Waiting;
        if (watched[i].revents != 0)
            progress = Read(arrival);
        if (progress == Progress::Waiting && now >= arrival.deadline)
            progress = Progress::Closed;
        if (progress == Progress::Complete)
            complete.push_back(std::move(arrival.request));
        else if (progress == Progress::Waiting)
            waiting.push_back(std::move(arrival));
        // Closed: the socket goes with the arrival.
    }
    m_arrivals = std::move(waiting);
    return complete;
}

RequestReception::Progress RequestReception::Read(Arrival& arrival)
{
    ReceivedRequest& request = arrival.request;
    while (!request.peerClosed) {
        char buffer[4096];
        const ssize_t n = ::recv(request.socket.Get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            request.received.append(buffer, static_cast<std::size_t>(n));
            if (request.received.size() > kMaxHead)
                return Progress::Closed;
        } else if (n == 0) {
            request.peerClosed = true;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            break;
        } else if (errno != EINTR) {
            return Progress::Closed;
        }
    }
    return Check(arrival);
}

RequestReception::Progress RequestReception::Check(Arrival& arrival)
{
    ReceivedRequest& request = arrival.request;
    const auto lineEnd = request.received.find('\n');
    if (!arrival.lineChecked && (lineEnd != std::string::npos || request.peerClosed)) {
        arrival.lineChecked = true;
        const std::string_view line =
            std::string_view(request.received).substr(0, lineEnd == std::string::npos ? lineEnd : lineEnd + 1);
        if (!m_admitsLine(line)) {
            Refuse(arrival);
            return Progress::Closed;
        }
    }
    if (request.peerClosed || HeadComplete(request.received))
        return Progress::Complete;
    return Progress::Waiting;
}

void RequestReception::Refuse(const Arrival& arrival) const
{
    // Small enough for any socket's buffer: sent whole or not at all, never waited for.
    if (!m_refusal.empty())
        ::send(arrival.request.socket.Get(), m_refusal.data(), m_refusal.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

} // namespace velmora
