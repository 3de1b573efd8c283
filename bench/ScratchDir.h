#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>

namespace velmora::bench {

// A fresh folder under the temp folder for one benchmark, removed with its content.
class ScratchDir {
public:
    ScratchDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "velmora-bench-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            throw std::runtime_error("cannot create a temporary folder");
        m_path = templ;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace velmora::bench
