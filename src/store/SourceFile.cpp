#include "store/SourceFile.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace velmora {

namespace {

struct stat Examine(int fd, const std::string& name)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        throw StreamError("Cannot examine file \"" + name + "\": " + std::strerror(errno));
    return info;
}

} // namespace

SourceFile::SourceFile(const std::filesystem::path& path) : FileStream(path, FileMode::OpenRead)
{
    const struct stat info = Examine(Descriptor(), Name());
    m_device = info.st_dev;
    m_inode = info.st_ino;
    m_size = info.st_size;
    m_modified = info.st_mtim;
}

std::int64_t SourceFile::Read(void* buffer, std::int64_t count)
{
    const std::int64_t got = FileStream::Read(buffer, count);
    if (got < count) {
        const std::int64_t at = Position();
        if (at < m_size)
            throw StreamError("The file \"" + Name() + "\" changed while it was being added: it ended after " +
                              std::to_string(at) + " of its " + std::to_string(m_size) + " bytes");
    }
    return got;
}

void SourceFile::ConfirmUnchanged()
{
    const struct stat now = Examine(Descriptor(), Name());
    bool same = now.st_size == m_size && now.st_mtim.tv_sec == m_modified.tv_sec &&
                now.st_mtim.tv_nsec == m_modified.tv_nsec;
    // A file put in its place is not the file that was read.
    struct stat named {};
    if (same && ::stat(Name().c_str(), &named) == 0)
        same = named.st_dev == m_device && named.st_ino == m_inode;
    else if (same)
        same = false;
    if (!same)
        throw StreamError("The file \"" + Name() + "\" changed while it was being added");
}

} // namespace velmora
