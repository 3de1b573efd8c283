#include "archive/ReaderSandbox.h"

#include "platform/UniqueFd.h"

#include <seccomp.h>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <linux/landlock.h>
#include <memory>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <system_error>
#include <unistd.h>

// Access rights of Landlock ABI versions newer than this system's headers.
#ifndef LANDLOCK_ACCESS_FS_TRUNCATE
#define LANDLOCK_ACCESS_FS_TRUNCATE (1ULL << 14)
#endif
#ifndef LANDLOCK_ACCESS_FS_IOCTL_DEV
#define LANDLOCK_ACCESS_FS_IOCTL_DEV (1ULL << 15)
#endif

namespace velmora {

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFilterCalls = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kFilterCalls = false;
#else
constexpr bool kFilterCalls = true;
#endif
#else
constexpr bool kFilterCalls = true;
#endif

[[noreturn]] void Fail(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

// Every file-system right the running kernel's Landlock knows.
std::uint64_t HandledRights(long abi)
{
    std::uint64_t rights = (LANDLOCK_ACCESS_FS_MAKE_SYM << 1) - 1;   // ABI 1: bits 0 to 12
    if (abi >= 2)
        rights |= LANDLOCK_ACCESS_FS_REFER;
    if (abi >= 3)
        rights |= LANDLOCK_ACCESS_FS_TRUNCATE;
    if (abi >= 5)
        rights |= LANDLOCK_ACCESS_FS_IOCTL_DEV;
    return rights;
}

bool RestrictFiles(const std::vector<std::string>& readableFiles)
{
    const long abi = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 0) {
        if (errno == ENOSYS || errno == EOPNOTSUPP)
            return false;   // no Landlock in this kernel, or switched off
        Fail(errno, "landlock_create_ruleset");
    }
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = HandledRights(abi);
    UniqueFd ruleset(static_cast<int>(::syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0)));
    if (!ruleset.Valid())
        Fail(errno, "landlock_create_ruleset");
    for (const std::string& file : readableFiles) {
        UniqueFd target(::open(file.c_str(), O_PATH | O_CLOEXEC));
        if (!target.Valid())
            continue;   // opening it will fail and say so
        landlock_path_beneath_attr rule{};
        rule.allowed_access = LANDLOCK_ACCESS_FS_READ_FILE;
        rule.parent_fd = target.Get();
        if (::syscall(SYS_landlock_add_rule, ruleset.Get(), LANDLOCK_RULE_PATH_BENEATH, &rule, 0) != 0)
            Fail(errno, "landlock_add_rule for " + file);
    }
    if (::syscall(SYS_landlock_restrict_self, ruleset.Get(), 0) != 0)
        Fail(errno, "landlock_restrict_self");
    return true;
}

struct FilterRelease {
    void operator()(void* filter) const { seccomp_release(filter); }
};

void Allow(scmp_filter_ctx filter, int call)
{
    if (const int rc = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0); rc != 0)
        Fail(-rc, "seccomp_rule_add");
}

template <typename... Conditions>
void AllowWhen(scmp_filter_ctx filter, int call, Conditions... conditions)
{
    if (const int rc = seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, sizeof...(conditions), conditions...); rc != 0)
        Fail(-rc, "seccomp_rule_add");
}

void FilterCalls()
{
    const std::unique_ptr<void, FilterRelease> filter(seccomp_init(SCMP_ACT_KILL_PROCESS));
    if (!filter)
        Fail(ENOMEM, "seccomp_init");
    scmp_filter_ctx f = filter.get();

    // Reading files, their sizes, the working folder and links (the engine makes the
    // archive's path whole: it may be relative, or a link), the room left on a disk (a
    // failed open asks whether the disk is full).
    for (const int call : {SCMP_SYS(read), SCMP_SYS(pread64), SCMP_SYS(readv), SCMP_SYS(preadv), SCMP_SYS(lseek),
                           SCMP_SYS(fstat), SCMP_SYS(newfstatat), SCMP_SYS(stat), SCMP_SYS(lstat), SCMP_SYS(statx),
                           SCMP_SYS(access), SCMP_SYS(faccessat), SCMP_SYS(faccessat2), SCMP_SYS(getcwd), SCMP_SYS(readlink),
                           SCMP_SYS(readlinkat), SCMP_SYS(statfs), SCMP_SYS(fstatfs),
                           SCMP_SYS(close), SCMP_SYS(fcntl)})
        Allow(f, call);
    // Opening for reading only: no write access, no file made, cut or appended to.
    const scmp_datum_t writing = O_ACCMODE | O_CREAT | O_TRUNC | O_APPEND;
    AllowWhen(f, SCMP_SYS(openat), SCMP_A2(SCMP_CMP_MASKED_EQ, writing, 0));
    AllowWhen(f, SCMP_SYS(open), SCMP_A1(SCMP_CMP_MASKED_EQ, writing, 0));
    // Writing only to standard output (the importer's pipe) and standard error.
    for (const int call : {SCMP_SYS(write), SCMP_SYS(writev)}) {
        AllowWhen(f, call, SCMP_A0(SCMP_CMP_EQ, STDOUT_FILENO));
        AllowWhen(f, call, SCMP_A0(SCMP_CMP_EQ, STDERR_FILENO));
    }
    // Memory, never executable; the cipher locks what holds keys out of swap.
    for (const int call : {SCMP_SYS(munmap), SCMP_SYS(mremap), SCMP_SYS(madvise), SCMP_SYS(brk), SCMP_SYS(mlock),
                           SCMP_SYS(munlock)})
        Allow(f, call);
    AllowWhen(f, SCMP_SYS(mmap), SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    AllowWhen(f, SCMP_SYS(mprotect), SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0));
    // Time, randomness, locks between threads, signals to itself and ending.
    for (const int call : {SCMP_SYS(futex), SCMP_SYS(clock_gettime), SCMP_SYS(gettimeofday), SCMP_SYS(nanosleep),
                           SCMP_SYS(clock_nanosleep), SCMP_SYS(getrandom), SCMP_SYS(sched_yield),
                           SCMP_SYS(getpid), SCMP_SYS(gettid), SCMP_SYS(getuid), SCMP_SYS(geteuid),
                           SCMP_SYS(getgid), SCMP_SYS(getegid), SCMP_SYS(rt_sigreturn), SCMP_SYS(rt_sigprocmask),
                           SCMP_SYS(rt_sigaction), SCMP_SYS(restart_syscall), SCMP_SYS(exit),
                           SCMP_SYS(exit_group)})
        Allow(f, call);
    // abort() signals the process itself, and nothing else.
    AllowWhen(f, SCMP_SYS(tgkill), SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(::getpid())));

    if (const int rc = seccomp_load(f); rc != 0)
        Fail(-rc, "seccomp_load");
}

} // namespace

SandboxInForce EnterReaderSandbox(const std::vector<std::string>& readableFiles)
{
    // Required for both; the parent sets it too, before the reader runs.
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        Fail(errno, "prctl(PR_SET_NO_NEW_PRIVS)");
    SandboxInForce inForce;
    inForce.fileRules = RestrictFiles(readableFiles);
    if (kFilterCalls) {
        FilterCalls();
        inForce.callFilter = true;
    }
    return inForce;
}

} // namespace velmora
