#pragma once

#include <cstdint>

namespace velmora {

// Identifies a running process beyond its pid (pids are reused): the pid together
// with the moment the process started, in clock ticks since boot.
struct ProcessStamp {
    std::int64_t pid = 0;
    std::int64_t started = 0;

    static ProcessStamp ThisProcess();
    // Whether the process that left this stamp is still running.
    bool IsAlive() const;
};

} // namespace velmora
