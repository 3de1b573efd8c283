#pragma once

#include "store/FileStream.h"

#include <sys/types.h>
#include <ctime>

namespace velmora {

// A file opened to be added. What it was when opened (its size and modification time
// through the descriptor, and which file its path named) is kept, and the add
// confirms it once the last byte is read: a file that grew, shrank or was rewritten
// or replaced meanwhile must not be stored in part, nor deleted as if it had been
// stored whole.
class SourceFile : public FileStream {
public:
    explicit SourceFile(const std::filesystem::path& path);

    // A file that ends before the size it had when opened has changed: StreamError.
    std::int64_t Read(void* buffer, std::int64_t count) override;
    // StreamError ("... changed while it was being added") when the file differs from
    // what was opened.
    void ConfirmUnchanged() override;

private:
    dev_t m_device = 0;
    ino_t m_inode = 0;
    off_t m_size = 0;
    timespec m_modified{};
};

} // namespace velmora
