#include "integration/FileStamp.h"

#include <sys/stat.h>

namespace velmora {

namespace {

std::optional<FileStamp> FromStat(const struct stat& info)
{
    if (!S_ISREG(info.st_mode))
        return std::nullopt;
    FileStamp stamp;
    stamp.device = static_cast<std::uint64_t>(info.st_dev);
    stamp.inode = static_cast<std::uint64_t>(info.st_ino);
    stamp.size = static_cast<std::int64_t>(info.st_size);
    stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changedNs = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return stamp;
}

} // namespace

std::optional<FileStamp> StampOfPath(const std::string& path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FromStat(info);
}

std::optional<FileStamp> StampOfDescriptor(int descriptor)
{
    struct stat info {};
    if (::fstat(descriptor, &info) != 0)
        return std::nullopt;
    return FromStat(info);
}

} // namespace velmora
