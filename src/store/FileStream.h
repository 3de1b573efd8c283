#pragma once

#include "store/Stream.h"

#include <filesystem>
#include <string>

namespace velmora {

enum class FileMode {
    OpenRead,        // an existing file, read only
    Create,          // a new or emptied file, read and write
    OpenReadWrite,   // an existing file, read and write
};

// A stream over a file, closed with the object. Read returns fewer bytes than asked
// only at the end of the file; a failed read, write or seek raises StreamError
// naming the file.
class FileStream : public Stream {
public:
    FileStream(const std::filesystem::path& path, FileMode mode);
    // Works on a descriptor that is already open (standard input or output) and
    // leaves it open; name is used in messages.
    FileStream(int descriptor, std::string name);
    ~FileStream() override;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    void SetSize(std::int64_t newSize) override;
    std::int64_t Size() override;

    // Forces written data to the disk.
    void Sync();

    const std::string& Name() const { return m_name; }
    int Descriptor() const { return m_fd; }

private:
    [[noreturn]] void Fail(const char* what) const;

    int m_fd = -1;
    bool m_ownsDescriptor = false;
    std::string m_name;
};

} // namespace velmora
