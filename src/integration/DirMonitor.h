#pragma once

#include "integration/DirScanner.h"
#include "integration/MonitorSettings.h"
#include "integration/ScanReport.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace velmora {

// Imports the media files that the user drops into one folder: a thread of its own
// scans the folder every interval and adds at most one file per scan to the library
// through its own connections, deleting the file once the whole content is stored.
//
// Created suspended. The main window gives it the directory and enabled values and
// resumes it once the library is open; the settings page suspends it while it saves
// and resumes it when monitoring stays on. Ends with the object.
class TDirMonitor {
public:
    static constexpr std::chrono::milliseconds kScanInterval{250};

    // Called on the monitor thread after every tick, scanning or not.
    using ScanObserver = std::function<void(const ScanReport&)>;

    explicit TDirMonitor(std::chrono::milliseconds interval = kScanInterval,
                         ScanObserver observer = {}, DirScanner::Importer importer = {});
    ~TDirMonitor();
    TDirMonitor(const TDirMonitor&) = delete;
    TDirMonitor& operator=(const TDirMonitor&) = delete;

    // Folder to watch; empty watches nothing. Each scan reads both values once, so a
    // scan always sees a consistent pair.
    void SetDirectory(const std::string& directory);
    // Scanning allowed.
    void SetEnabled(bool enabled);
    std::string Directory() const;
    bool Enabled() const;

    // Starts the thread or lets it run again.
    void Resume();
    // Resumes only when enabled; leaves a suspended monitor suspended otherwise.
    void ResumeIfEnabled();
    // Stops scanning; returns once no scan is in progress, so the caller may change
    // the settings knowing the monitor is between scans. Unlike a platform thread
    // suspension it never stops the thread inside a database transaction.
    void Suspend();
    bool Suspended() const;
    // Ends the thread and waits for it; the destructor does this.
    void Terminate();

private:
    void Execute();
    bool OnMonitorThread() const;

    const std::chrono::milliseconds m_interval;
    const ScanObserver m_observer;
    DirScanner m_scanner;   // used by the monitor thread only

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::string m_directory;
    bool m_enabled = false;
    bool m_suspended = true;
    bool m_terminated = false;
    bool m_scanning = false;

    std::thread m_thread;   // last: starts after every other member exists
};

} // namespace velmora
