#pragma once

#include "store/Stream.h"

#include <memory>

namespace velmora::db {

class BlobSpool;

// The stream a caller writes a long-binary value into. The bytes wait in a spool
// that the query keeps until the row is posted, so the stream itself may be
// released before Post.
class BlobWriteStream : public Stream {
public:
    explicit BlobWriteStream(std::shared_ptr<BlobSpool> spool);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    void SetSize(std::int64_t newSize) override;
    std::int64_t Size() override;

private:
    std::shared_ptr<BlobSpool> m_spool;
    std::int64_t m_position = 0;
};

} // namespace velmora::db
