#include "integration/DirMonitor.h"

#include "store/ObjectStore.h"

namespace velmora {

TDirMonitor::TDirMonitor(std::chrono::milliseconds interval, ScanObserver observer,
                         DirScanner::Importer importer)
    : m_interval(interval), m_observer(std::move(observer)), m_scanner(std::move(importer)),
      m_thread([this] { Execute(); })
{
}

TDirMonitor::~TDirMonitor()
{
    Terminate();
}

void TDirMonitor::SetDirectory(const std::string& directory)
{
    std::lock_guard lock(m_mutex);
    m_directory = directory;
}

void TDirMonitor::SetEnabled(bool enabled)
{
    std::lock_guard lock(m_mutex);
    m_enabled = enabled;
}

std::string TDirMonitor::Directory() const
{
    std::lock_guard lock(m_mutex);
    return m_directory;
}

bool TDirMonitor::Enabled() const
{
    std::lock_guard lock(m_mutex);
    return m_enabled;
}

void TDirMonitor::Resume()
{
    {
        std::lock_guard lock(m_mutex);
        m_suspended = false;
    }
    m_wake.notify_all();
}

void TDirMonitor::ResumeIfEnabled()
{
    if (Enabled())
        Resume();
}

void TDirMonitor::Suspend()
{
    std::unique_lock lock(m_mutex);
    m_suspended = true;
    // From the monitor's own observer the scan is the caller: waiting would deadlock.
    if (!OnMonitorThread())
        m_idle.wait(lock, [this] { return !m_scanning; });
}

bool TDirMonitor::Suspended() const
{
    std::lock_guard lock(m_mutex);
    return m_suspended;
}

void TDirMonitor::Terminate()
{
    {
        std::lock_guard lock(m_mutex);
        m_terminated = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable() && !OnMonitorThread())
        m_thread.join();
}

bool TDirMonitor::OnMonitorThread() const
{
    return std::this_thread::get_id() == m_thread.get_id();
}

void TDirMonitor::Execute()
{
    // The thread's own database connections end with it.
    struct CloseConnections {
        ~CloseConnections() { ObjectStore::ForThisThread().Close(); }
    } closeConnections;

    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_terminated || !m_suspended; });
        if (m_terminated)
            return;

        const std::string directory = m_directory;
        const bool enabled = m_enabled;
        m_scanning = true;
        lock.unlock();

        ScanReport report;
        try {
            if (enabled && !directory.empty())
                report = m_scanner.Scan(directory);
            if (m_observer)
                m_observer(report);
        } catch (...) {
            // The monitor works silently: a failed tick is simply tried again.
        }

        lock.lock();
        m_scanning = false;
        m_idle.notify_all();
        m_wake.wait_for(lock, m_interval, [this] { return m_terminated; });
    }
}

} // namespace velmora
