#include "store/PrivateFiles.h"

#include "platform/UniqueFd.h"
#include "store/LibraryFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error)
{
    throw std::runtime_error("Cannot " + what + " \"" + path + "\": " + std::strerror(error));
}

// The main database, a store file, or one of the engine's files beside them
// ("-wal", "-shm", "-journal") and a store file being made (".new").
bool IsLibraryFileName(const std::string& name)
{
    if (name.rfind(kMainDatabaseName, 0) == 0)
        return true;
    const std::string prefix = "tnstore";
    if (name.rfind(prefix, 0) != 0)
        return false;
    const auto digits = name.find_first_not_of("0123456789", prefix.size());
    return digits != prefix.size() && digits != std::string::npos && name.compare(digits, 4, ".mdb") == 0;
}

} // namespace

void MakePrivateFolders(const std::string& folder)
{
    const fs::path path = fs::path(folder).lexically_normal();
    std::error_code error;
    if (fs::is_directory(path, error))
        return;
    if (path.has_relative_path() && path.has_parent_path() && path.parent_path() != path)
        MakePrivateFolders(path.parent_path().string());
    if (::mkdir(path.c_str(), kPrivateFolderMode) != 0) {
        if (errno == EEXIST && fs::is_directory(path, error))
            return;   // made meanwhile by someone else: theirs, left alone
        Fail("create the folder", path.string(), errno);
    }
    // mkdir's mode passes through the umask; the folder is ours alone whatever it is.
    if (::chmod(path.c_str(), kPrivateFolderMode) != 0)
        Fail("set the permissions of", path.string(), errno);
}

void CopyToPrivateFile(const std::string& source, const std::string& target)
{
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.Valid())
        Fail("read", source, errno);
    UniqueFd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kPrivateFileMode));
    if (!out.Valid())
        Fail("create", target, errno);
    try {
        if (::fchmod(out.Get(), kPrivateFileMode) != 0)
            Fail("set the permissions of", target, errno);
        char buffer[1 << 16];
        for (;;) {
            const ssize_t n = ::read(in.Get(), buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                Fail("read", source, errno);
            }
            if (n == 0)
                break;
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(out.Get(), buffer + done, static_cast<std::size_t>(n - done));
                if (w < 0) {
                    if (errno == EINTR)
                        continue;
                    Fail("write", target, errno);
                }
                done += w;
            }
        }
        if (::fsync(out.Get()) != 0)
            Fail("write", target, errno);
    } catch (...) {
        out.Reset();
        ::unlink(target.c_str());
        throw;
    }
}

std::vector<ExposedFile> ExposedLibraryFiles(const std::string& folder)
{
    std::vector<ExposedFile> exposed;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        struct stat info {};
        if (!IsLibraryFileName(name) || ::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (info.st_mode & (S_IRGRP | S_IROTH))
            exposed.push_back({entry.path().string(), info.st_mode & 07777});
    }
    std::sort(exposed.begin(), exposed.end(), [](const auto& a, const auto& b) { return a.path < b.path; });
    return exposed;
}

} // namespace velmora
