#include "store/WriteBehind.h"

#include <fcntl.h>

namespace velmora {

WriteBehind::WriteBehind(const std::string& path, std::int64_t step)
    : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), m_step(step)
{
    if (m_fd.Valid())
        m_thread = std::thread([this] { Run(); });
}

WriteBehind::~WriteBehind()
{
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void WriteBehind::Reached(std::int64_t offset)
{
    if (!m_thread.joinable() || offset - m_posted < m_step)
        return;
    m_posted = offset;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_wanted = offset;
    }
    m_wake.notify_one();
}

std::int64_t WriteBehind::Requested()
{
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_requested;
}

void WriteBehind::Run()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_wake.wait(hold, [this] { return m_stop || m_wanted > m_requested; });
        if (m_stop)
            return;
        const std::int64_t from = m_requested;
        const std::int64_t to = m_wanted;
        hold.unlock();
        // Starts the writing without waiting for it. It may still wait for room in the
        // disk's queue, which is why this runs here and not on the writing thread; a
        // failure only leaves more for the closing sync, which reports it.
        ::sync_file_range(m_fd.Get(), from, to - from, SYNC_FILE_RANGE_WRITE);
        hold.lock();
        m_requested = to;
    }
}

} // namespace velmora
