#include "archive/ArchiveTemplate.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveWriterProbe.h"
#include "store/FileStream.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

// A temporary file beside the target, removed unless it was moved into place.
class SiblingTemp {
public:
    explicit SiblingTemp(const std::string& target)
    {
        std::vector<char> name(target.begin(), target.end());
        const std::string suffix = ".partXXXXXX";
        name.insert(name.end(), suffix.begin(), suffix.end());
        name.push_back('\0');
        const int fd = mkstemp(name.data());
        if (fd < 0)
            throw std::runtime_error("Cannot create \"" + target + "\": " + std::strerror(errno));
        ::close(fd);
        m_path = name.data();
    }
    ~SiblingTemp()
    {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    SiblingTemp(const SiblingTemp&) = delete;
    SiblingTemp& operator=(const SiblingTemp&) = delete;

    const std::string& Path() const { return m_path; }
    void MoveTo(const std::string& target)
    {
        if (std::rename(m_path.c_str(), target.c_str()) != 0)
            throw std::runtime_error("Cannot create \"" + target + "\": " + std::strerror(errno));
        m_path.clear();
    }

private:
    std::string m_path;
};

} // namespace

void CopyArchiveTemplate(const std::string& templatePath, const std::string& target)
{
    FileStream source(templatePath, FileMode::OpenRead);
    // Replacing a file under a writer would mix two databases in one file.
    if (ArchiveHeldByWriter(target))
        throw ArchiveError(ArchiveError::Reason::Locked,
                           "\"" + target + "\" is being written by another program and cannot be replaced");
    SiblingTemp temp(target);
    {
        FileStream copy(temp.Path(), FileMode::Create);
        copy.CopyFrom(source, 0);
        copy.Sync();
    }
    // A rollback journal left by the file being replaced would be played back into
    // the new archive when it is opened.
    ::unlink((target + "-journal").c_str());
    temp.MoveTo(target);
}

} // namespace velmora
