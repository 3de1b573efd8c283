#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

// What a directory entry looks like at one moment: which file it is and when its
// content last changed. Two equal stamps taken a scan apart mean nobody wrote to the
// file in between. The change time is included because a copying program may set
// the modification time back to the source's.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;

    bool SameFile(const FileStamp& other) const
    {
        return device == other.device && inode == other.inode;
    }
    bool operator==(const FileStamp&) const = default;
};

// The stamp of a plain file named by path (a symbolic link is not followed); none
// when it does not exist or is not a plain file.
std::optional<FileStamp> StampOfPath(const std::string& path);
// The stamp of the plain file open on descriptor; none when it cannot be examined.
std::optional<FileStamp> StampOfDescriptor(int descriptor);

} // namespace velmora
