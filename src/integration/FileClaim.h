#pragma once

#include "integration/FileStamp.h"

#include <string>

namespace velmora {

// Takes a file for import the way a reader that allows no sharing would: the claim
// holds only when no process has the file open for writing and no other open file
// has a lock on it (whole-file flock or any fcntl record lock, including ones of this
// process), and while it is held a cooperating writer cannot lock the file for
// writing. Released with the object.
class FileClaim {
public:
    // Never throws: a file that cannot be opened or is locked gives an empty claim.
    explicit FileClaim(const std::string& path);
    ~FileClaim();
    FileClaim(const FileClaim&) = delete;
    FileClaim& operator=(const FileClaim&) = delete;

    bool Held() const { return m_fd >= 0; }
    // The file's stamp as seen through the claim, so it names the file really held
    // even if the directory entry has been replaced since.
    std::optional<FileStamp> Stamp() const;

private:
    void Release();

    int m_fd = -1;
};

} // namespace velmora
