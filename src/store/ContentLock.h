#pragma once

namespace velmora {

// Adds and a password change must never interleave: a chunk written while the change
// passes its item would stay under the old key. Both take a lock on the file
// "tndb.lock" of the data folder, which holds across threads and processes: an add
// holds a shared lock for its whole run (taking back included), a change an exclusive
// one. A change that is waiting keeps new adds out, so it starts once the running adds
// have ended, and new adds wait until it has finished.
class AddLock {
public:
    // Waits while a change runs. Raises std::runtime_error on a thread that is itself
    // running a change (it would wait for ever) or when the lock file cannot be made.
    AddLock();
    ~AddLock();
    AddLock(const AddLock&) = delete;
    AddLock& operator=(const AddLock&) = delete;

private:
    int m_fd = -1;
};

class ChangeLock {
public:
    // Waits for the running adds. Taken again on the thread that holds it, it lets it be.
    ChangeLock();
    ~ChangeLock();
    ChangeLock(const ChangeLock&) = delete;
    ChangeLock& operator=(const ChangeLock&) = delete;

private:
    int m_fd = -1;
};

inline constexpr const char* kContentLockName = "tndb.lock";

} // namespace velmora
