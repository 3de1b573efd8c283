// Loaded with LD_PRELOAD into a program under test: records, in the order they happen,
// every change the program makes to the files of one folder (writes with their bytes,
// truncations, syncs, creations, renames, removals) and what it writes to its standard
// output, so that a test can rebuild each state a power cut could leave (WriteLog.h).
//
// VELMORA_WRITE_LOG names the log file, VELMORA_WRITE_LOG_DIR the folder watched (as an
// absolute path without a trailing slash). Without them every call passes straight on.
// The calls are made one at a time under a lock, so the log's order is the order in
// which they took effect. A call on a watched file that the log cannot express (a copy
// inside the kernel, a mapping) is logged as unsupported, which the test reports.
#include "support/WriteLogFormat.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <string>

namespace {

using velmora::test::WriteLogOp;

// The one lock and log of the process. State of the interposer itself, not of any
// program: it exists only while a test has loaded this library.
struct LogState {
    std::recursive_mutex lock;
    int fd = -1;
    std::string folder;   // watched, with a trailing slash
};

LogState& State()
{
    static LogState state;
    return state;
}

template <typename F>
F Next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// Our own writes bypass every wrapper.
void RawWrite(int fd, const void* data, std::size_t count)
{
    const auto* bytes = static_cast<const char*>(data);
    while (count > 0) {
        const long n = syscall(SYS_write, fd, bytes, count);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
}

bool Active()
{
    return State().fd >= 0;
}

// Only the program started with the variables logs: they are taken out of its
// environment before anything else runs, so the processes it starts do not.
__attribute__((constructor)) void StartLog()
{
    LogState& state = State();
    const char* log = std::getenv("VELMORA_WRITE_LOG");
    const char* folder = std::getenv("VELMORA_WRITE_LOG_DIR");
    if (log && folder && *log && *folder) {
        state.fd =
            static_cast<int>(syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
        state.folder = std::string(folder) + "/";
    }
    unsetenv("VELMORA_WRITE_LOG");
    unsetenv("VELMORA_WRITE_LOG_DIR");
    // A child forked while another thread holds the lock must not inherit it held.
    pthread_atfork([] { State().lock.lock(); }, [] { State().lock.unlock(); }, [] { State().lock.unlock(); });
}

std::string FdPath(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return {};
    return std::string(target, static_cast<std::size_t>(n));
}

std::string AbsolutePath(int dirfd, const char* path)
{
    if (!path)
        return {};
    if (path[0] == '/')
        return path;
    std::string base;
    if (dirfd == AT_FDCWD) {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd))
            return {};
        base = cwd;
    } else {
        base = FdPath(dirfd);
    }
    return base + "/" + path;
}

// The path relative to the watched folder ("" for the folder itself), or nothing.
bool Watched(const std::string& path, std::string& relative)
{
    const std::string& folder = State().folder;
    if (path + "/" == folder) {
        relative.clear();
        return true;
    }
    if (path.compare(0, folder.size(), folder) != 0)
        return false;
    relative = path.substr(folder.size());
    return relative.find('/') == std::string::npos && !relative.empty();
}

void Emit(WriteLogOp op, const std::string& path, std::int64_t number, const void* data, std::size_t length,
          const std::string& second = {})
{
    velmora::test::WriteLogHeader header{};
    header.op = static_cast<std::uint8_t>(op);
    header.pathLength = static_cast<std::uint32_t>(path.size());
    header.secondLength = static_cast<std::uint32_t>(second.size());
    header.number = number;
    header.dataLength = static_cast<std::uint64_t>(length);
    const int fd = State().fd;
    RawWrite(fd, &header, sizeof header);
    RawWrite(fd, path.data(), path.size());
    RawWrite(fd, second.data(), second.size());
    if (length)
        RawWrite(fd, data, length);
}

bool WatchedFd(int fd, std::string& relative)
{
    return Watched(FdPath(fd), relative);
}

bool Exists(const std::string& path)
{
    struct stat st;
    return syscall(SYS_newfstatat, AT_FDCWD, path.c_str(), &st, 0) == 0;
}

int LoggedOpen(int dirfd, const char* path, int flags, mode_t mode, int (*real)(int, const char*, int, ...))
{
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    if (!Active())
        return real(dirfd, path, flags, mode);
    const std::string absolute = AbsolutePath(dirfd, path);
    std::string relative;
    const bool watched = Watched(absolute, relative) && !relative.empty();
    const bool existed = watched && Exists(absolute);
    const int fd = real(dirfd, path, flags, mode);
    if (fd >= 0 && watched) {
        if (!existed && (flags & O_CREAT))
            Emit(WriteLogOp::Create, relative, 0, nullptr, 0);
        else if (existed && (flags & O_TRUNC) && (flags & O_ACCMODE) != O_RDONLY)
            Emit(WriteLogOp::Truncate, relative, 0, nullptr, 0);
    }
    return fd;
}

mode_t ModeArgument(int flags, va_list args)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

int RealOpenat(int dirfd, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    static auto next = Next<int (*)(int, const char*, int, ...)>("openat");
    return next(dirfd, path, flags, mode);
}

// A write of data at offset (or at the descriptor's position, -1) to fd, logged as far
// as it succeeded when the file is watched.
ssize_t LoggedWrite(int fd, const void* data, std::int64_t offset,
                    const std::function<ssize_t()>& call)
{
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    if (!Active())
        return call();
    std::string relative;
    const bool watched = WatchedFd(fd, relative) && !relative.empty();
    if (!watched && fd != STDOUT_FILENO)
        return call();
    std::int64_t at = offset;
    if (watched && at < 0) {
        const int flags = fcntl(fd, F_GETFL);
        struct stat st;
        if (flags >= 0 && (flags & O_APPEND) && fstat(fd, &st) == 0)
            at = st.st_size;
        else
            at = lseek(fd, 0, SEEK_CUR);
    }
    const ssize_t n = call();
    if (n > 0) {
        if (watched)
            Emit(WriteLogOp::Write, relative, at, data, static_cast<std::size_t>(n));
        else
            Emit(WriteLogOp::Output, {}, 0, data, static_cast<std::size_t>(n));
    }
    return n;
}

std::string Gathered(const struct iovec* iov, int count)
{
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(static_cast<const char*>(iov[i].iov_base), iov[i].iov_len);
    return bytes;
}

int LoggedFdCall(int fd, WriteLogOp op, std::int64_t number, const std::function<int()>& call)
{
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    if (!Active())
        return call();
    std::string relative;
    const bool watched = WatchedFd(fd, relative);
    // A sync is logged as it starts: what was written before it is on the disk once it
    // returns, and nothing the program does after relies on more.
    if (watched && op == WriteLogOp::Sync)
        Emit(op, relative, 0, nullptr, 0);
    const int result = call();
    if (watched && op != WriteLogOp::Sync && result == 0)
        Emit(op, relative, number, nullptr, 0);
    return result;
}

int LoggedPathCall(int dirfd, const char* path, WriteLogOp op, const std::function<int()>& call, int newDirfd = AT_FDCWD,
                   const char* newPath = nullptr)
{
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    if (!Active())
        return call();
    std::string from, to;
    const bool watchedFrom = Watched(AbsolutePath(dirfd, path), from) && !from.empty();
    const bool watchedTo = newPath && Watched(AbsolutePath(newDirfd, newPath), to) && !to.empty();
    const int result = call();
    if (result != 0)
        return result;
    if (op == WriteLogOp::Rename) {
        if (watchedFrom && watchedTo)
            Emit(op, from, 0, nullptr, 0, to);
        else if (watchedFrom)
            Emit(WriteLogOp::Unlink, from, 0, nullptr, 0);
        else if (watchedTo)
            Emit(WriteLogOp::Unsupported, to, 0, nullptr, 0, "a file moved in from elsewhere");
    } else if (watchedFrom) {
        Emit(op, from, 0, nullptr, 0);
    }
    return result;
}

void Unsupported(int fd, const char* what)
{
    std::lock_guard<std::recursive_mutex> guard(State().lock);
    std::string relative;
    if (Active() && WatchedFd(fd, relative) && !relative.empty())
        Emit(WriteLogOp::Unsupported, relative, 0, nullptr, 0, what);
}

} // namespace

extern "C" {

int open(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return LoggedOpen(AT_FDCWD, path, flags, mode, RealOpenat);
}
int open64(const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return LoggedOpen(AT_FDCWD, path, flags, mode, RealOpenat);
}
int __open_2(const char* path, int flags)
{
    return LoggedOpen(AT_FDCWD, path, flags, 0, RealOpenat);
}
int __open64_2(const char* path, int flags)
{
    return LoggedOpen(AT_FDCWD, path, flags, 0, RealOpenat);
}
int openat(int dirfd, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return LoggedOpen(dirfd, path, flags, mode, RealOpenat);
}
int openat64(int dirfd, const char* path, int flags, ...)
{
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    return LoggedOpen(dirfd, path, flags, mode, RealOpenat);
}
int __openat_2(int dirfd, const char* path, int flags)
{
    return LoggedOpen(dirfd, path, flags, 0, RealOpenat);
}
int __openat64_2(int dirfd, const char* path, int flags)
{
    return LoggedOpen(dirfd, path, flags, 0, RealOpenat);
}
int creat(const char* path, mode_t mode)
{
    return LoggedOpen(AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode, RealOpenat);
}
int creat64(const char* path, mode_t mode)
{
    return LoggedOpen(AT_FDCWD, path, O_WRONLY | O_CREAT | O_TRUNC, mode, RealOpenat);
}

ssize_t write(int fd, const void* data, size_t count)
{
    static auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
    return LoggedWrite(fd, data, -1, [&] { return next(fd, data, count); });
}
ssize_t pwrite(int fd, const void* data, size_t count, off_t offset)
{
    static auto next = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    return LoggedWrite(fd, data, offset, [&] { return next(fd, data, count, offset); });
}
ssize_t pwrite64(int fd, const void* data, size_t count, off64_t offset)
{
    static auto next = Next<ssize_t (*)(int, const void*, size_t, off64_t)>("pwrite64");
    return LoggedWrite(fd, data, offset, [&] { return next(fd, data, count, offset); });
}
ssize_t writev(int fd, const struct iovec* iov, int count)
{
    static auto next = Next<ssize_t (*)(int, const struct iovec*, int)>("writev");
    const std::string bytes = Gathered(iov, count);
    return LoggedWrite(fd, bytes.data(), -1, [&] { return next(fd, iov, count); });
}
ssize_t pwritev(int fd, const struct iovec* iov, int count, off_t offset)
{
    static auto next = Next<ssize_t (*)(int, const struct iovec*, int, off_t)>("pwritev");
    const std::string bytes = Gathered(iov, count);
    return LoggedWrite(fd, bytes.data(), offset, [&] { return next(fd, iov, count, offset); });
}
ssize_t pwritev64(int fd, const struct iovec* iov, int count, off64_t offset)
{
    static auto next = Next<ssize_t (*)(int, const struct iovec*, int, off64_t)>("pwritev64");
    const std::string bytes = Gathered(iov, count);
    return LoggedWrite(fd, bytes.data(), offset, [&] { return next(fd, iov, count, offset); });
}

int ftruncate(int fd, off_t length)
{
    static auto next = Next<int (*)(int, off_t)>("ftruncate");
    return LoggedFdCall(fd, WriteLogOp::Truncate, length, [&] { return next(fd, length); });
}
int ftruncate64(int fd, off64_t length)
{
    static auto next = Next<int (*)(int, off64_t)>("ftruncate64");
    return LoggedFdCall(fd, WriteLogOp::Truncate, length, [&] { return next(fd, length); });
}
int fsync(int fd)
{
    static auto next = Next<int (*)(int)>("fsync");
    return LoggedFdCall(fd, WriteLogOp::Sync, 0, [&] { return next(fd); });
}
int fdatasync(int fd)
{
    static auto next = Next<int (*)(int)>("fdatasync");
    return LoggedFdCall(fd, WriteLogOp::Sync, 0, [&] { return next(fd); });
}
int fallocate(int fd, int mode, off_t offset, off_t length)
{
    static auto next = Next<int (*)(int, int, off_t, off_t)>("fallocate");
    // Only the size can change (to at least offset + length), and only without KEEP_SIZE.
    const std::int64_t grows = (mode & 1) ? -1 : static_cast<std::int64_t>(offset + length);
    return LoggedFdCall(fd, WriteLogOp::Extend, grows, [&] { return next(fd, mode, offset, length); });
}
int fallocate64(int fd, int mode, off64_t offset, off64_t length)
{
    static auto next = Next<int (*)(int, int, off64_t, off64_t)>("fallocate64");
    const std::int64_t grows = (mode & 1) ? -1 : static_cast<std::int64_t>(offset + length);
    return LoggedFdCall(fd, WriteLogOp::Extend, grows, [&] { return next(fd, mode, offset, length); });
}
int posix_fallocate(int fd, off_t offset, off_t length)
{
    static auto next = Next<int (*)(int, off_t, off_t)>("posix_fallocate");
    return LoggedFdCall(fd, WriteLogOp::Extend, offset + length, [&] { return next(fd, offset, length); });
}
int posix_fallocate64(int fd, off64_t offset, off64_t length)
{
    static auto next = Next<int (*)(int, off64_t, off64_t)>("posix_fallocate64");
    return LoggedFdCall(fd, WriteLogOp::Extend, offset + length, [&] { return next(fd, offset, length); });
}

int rename(const char* from, const char* to)
{
    static auto next = Next<int (*)(const char*, const char*)>("rename");
    return LoggedPathCall(AT_FDCWD, from, WriteLogOp::Rename, [&] { return next(from, to); }, AT_FDCWD, to);
}
int renameat(int fromDir, const char* from, int toDir, const char* to)
{
    static auto next = Next<int (*)(int, const char*, int, const char*)>("renameat");
    return LoggedPathCall(fromDir, from, WriteLogOp::Rename, [&] { return next(fromDir, from, toDir, to); }, toDir,
                          to);
}
int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags)
{
    static auto next = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return LoggedPathCall(fromDir, from, WriteLogOp::Rename, [&] { return next(fromDir, from, toDir, to, flags); },
                          toDir, to);
}
int unlink(const char* path)
{
    static auto next = Next<int (*)(const char*)>("unlink");
    return LoggedPathCall(AT_FDCWD, path, WriteLogOp::Unlink, [&] { return next(path); });
}
int unlinkat(int dirfd, const char* path, int flags)
{
    static auto next = Next<int (*)(int, const char*, int)>("unlinkat");
    return LoggedPathCall(dirfd, path, WriteLogOp::Unlink, [&] { return next(dirfd, path, flags); });
}
int remove(const char* path)
{
    static auto next = Next<int (*)(const char*)>("remove");
    return LoggedPathCall(AT_FDCWD, path, WriteLogOp::Unlink, [&] { return next(path); });
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length, unsigned flags)
{
    static auto next = Next<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range");
    Unsupported(out, "copy_file_range");
    return next(in, inOffset, out, outOffset, length, flags);
}
ssize_t sendfile(int out, int in, off_t* offset, size_t count)
{
    static auto next = Next<ssize_t (*)(int, int, off_t*, size_t)>("sendfile");
    Unsupported(out, "sendfile");
    return next(out, in, offset, count);
}
ssize_t sendfile64(int out, int in, off64_t* offset, size_t count)
{
    static auto next = Next<ssize_t (*)(int, int, off64_t*, size_t)>("sendfile64");
    Unsupported(out, "sendfile");
    return next(out, in, offset, count);
}

} // extern "C"
