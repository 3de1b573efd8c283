#pragma once

#include "platform/UniqueFd.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace velmora {

// Starts the kernel writing a file's pages to the disk while a long write into it goes
// on, on a thread of its own, so that the sync that ends the write finds little left to
// do instead of waiting for all of it. Only advice: the sync at the end stays what makes
// the file durable and reports the disk's errors, and a file this cannot open is simply
// left to that sync.
//
// It holds a descriptor of its own, and closing any descriptor of a file drops every
// POSIX lock the process holds on it, the database engine's included: it must end only
// after every connection of the process to the file has (make it before them).
class WriteBehind {
public:
    // step: how much new must be final before the kernel is asked again.
    explicit WriteBehind(const std::string& path, std::int64_t step = 32 << 20);
    // Waits for the request in progress, if any; nothing is left running.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // The bytes of the file before offset are written for good.
    void Reached(std::int64_t offset);

    // Bytes the kernel has been asked to write so far (for tests).
    std::int64_t Requested();

private:
    void Run();

    UniqueFd m_fd;
    const std::int64_t m_step;
    std::int64_t m_posted = 0;      // the writing thread's last offset passed on
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::int64_t m_wanted = 0;      // guarded: the offset to write up to
    std::int64_t m_requested = 0;   // guarded: how far the kernel has been asked
    bool m_stop = false;            // guarded
    std::thread m_thread;
};

} // namespace velmora
