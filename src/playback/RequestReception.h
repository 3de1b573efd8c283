#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <poll.h>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// A connection whose request head (its request line and header lines, up to the empty
// line) has arrived.
struct ReceivedRequest {
    UniqueFd socket;
    std::string received;     // every byte read so far: the head, and anything after it
    bool peerClosed = false;  // the peer ended its sending with or before the head
};

// The connections a server has accepted while their requests arrive, watched on the
// accepting thread without a thread of their own, so that clients which send slowly
// or not at all cost a descriptor and a little memory each, and never a serving slot:
//   - a request gets its time in all (not per read) for its whole head, and is closed
//     when the time is up, however steadily it trickles;
//   - as soon as its request line has come, a request the server would refuse anyway
//     is answered with the refusal and closed;
//   - a head longer than any player sends is closed;
//   - with as many requests arriving as it holds, the oldest is closed for the newest,
//     so a flood of connections never keeps a new one out.
class RequestReception {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMaxHead = 64 * 1024;

    // admitsLine: whether a request line (with its line end) may be served; refusal:
    // sent to one that may not.
    RequestReception(std::size_t capacity, std::function<bool(std::string_view)> admitsLine, std::string refusal);

    // A newly accepted (non-blocking) connection, given requestTime for its head.
    void Add(UniqueFd socket, std::chrono::milliseconds requestTime);
    // Closes the oldest arrival, to make room; false when there is none.
    bool DropOldest();
    std::size_t Size() const { return m_arrivals.size(); }

    // Appends one entry per arrival to fds, in the order Collect expects them.
    void Watch(std::vector<pollfd>& fds) const;
    // Milliseconds until the earliest arrival's time is up (-1: no arrival), for poll.
    int WaitMs() const;
    // After poll: reads what the arrivals have sent (watched: the entries Watch
    // appended, as poll left them), closes the refused, the overlong and those whose
    // time is up, and hands over those whose head is complete.
    std::vector<ReceivedRequest> Collect(const pollfd* watched);

private:
    struct Arrival {
        ReceivedRequest request;
        Clock::time_point deadline;
        bool lineChecked = false;
    };
    enum class Progress { Waiting, Complete, Closed };

    Progress Read(Arrival& arrival);
    Progress Check(Arrival& arrival);
    void Refuse(const Arrival& arrival) const;

    std::size_t m_capacity;
    std::function<bool(std::string_view)> m_admitsLine;
    std::string m_refusal;
    std::vector<Arrival> m_arrivals;   // oldest first
};

} // namespace velmora
