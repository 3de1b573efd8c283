#pragma once

#include <functional>
#include <string>

namespace velmora {

// The name both the instance lock and the bring-to-front message carry.
inline constexpr const char* kInstanceName = "NRXVelmora";

// The single-instance marker: an exclusive, non-blocking flock on the file
// "<name>.lock" in the user's private runtime folder (PrivateRuntimeFolder), taken when
// the object is made and held until it goes (or the process ends: the kernel drops the
// lock of a crashed process, so no stale lock survives it). The file descriptor is
// close-on-exec, so programs this process starts never inherit the lock.
class InstanceLock {
public:
    // Tries to take the lock. A lock file that cannot be opened at all, or a runtime
    // folder that is refused, counts as the first instance: neither a broken folder nor
    // another user's files must keep the program from starting.
    explicit InstanceLock(const std::string& name = kInstanceName);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // False when another process holds the lock: a running instance exists.
    bool IsFirstInstance() const { return m_first; }
    // True when this object holds the lock (false for a second instance, and for a
    // first instance whose lock file could not be opened).
    bool IsHeld() const { return m_fd >= 0; }
    const std::string& LockFilePath() const { return m_path; }
    // Why no lock could be taken by a first instance (empty when it was, or when this is
    // a second instance).
    const std::string& Problem() const { return m_problem; }

    // Where the lock file of name lives, as of now. Throws RuntimeFolderRefused.
    static std::string LockFilePathFor(const std::string& name);

    // The holder says in its lock file how it runs (a word such as "windowless"), so that
    // a later start can tell without reaching it. Nothing happens while the lock is not held.
    void SetHolderMark(const std::string& mark);
    // A second instance: the running one's mark, empty when it set none.
    std::string HolderMark() const;
    // A second instance waits until the running one has ended and holds the lock itself;
    // it is the first instance then. It stops waiting, returning false, as soon as
    // keepWaiting says so (another start may have taken the lock meanwhile), or when
    // the lock file cannot be opened or locked.
    bool WaitForTurn(const std::function<bool()>& keepWaiting);

private:
    std::string m_path;
    std::string m_problem;
    int m_fd = -1;
    bool m_first = true;
};

} // namespace velmora
