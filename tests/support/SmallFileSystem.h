#pragma once

#include "support/TestSupport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/mount.h>

namespace velmora::test {

// A tmpfs of its own of the given size ("20m"), gone with the object. Mounting needs
// root: tests that use it run as root or in a user and mount namespace of their own
// (see their CMake entries), never skipped.
class SmallFileSystem {
public:
    explicit SmallFileSystem(const std::string& size = "20m")
    {
        const std::string options = "size=" + size + ",mode=0700";
        if (::mount("velmora-test", m_mountPoint.str().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0)
            m_error = std::strerror(errno);
    }
    ~SmallFileSystem()
    {
        if (m_error.empty())
            ::umount2(m_mountPoint.str().c_str(), MNT_DETACH);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    const std::string& Error() const { return m_error; }
    const std::filesystem::path& path() const { return m_mountPoint.path(); }
    std::filesystem::path operator/(const std::string& name) const { return m_mountPoint / name; }

private:
    TempDir m_mountPoint;
    std::string m_error;
};

} // namespace velmora::test
