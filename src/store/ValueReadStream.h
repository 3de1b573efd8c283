#pragma once

#include "store/Stream.h"

#include <string>

namespace velmora::db {

// A read stream over a copy of one column value: what a long-binary column of a
// query that is not updatable offers, since such a row has no identity to read
// the value from in place.
class ValueReadStream : public Stream {
public:
    explicit ValueReadStream(std::string bytes);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(m_bytes.size()); }

private:
    std::string m_bytes;
    std::int64_t m_position = 0;
};

} // namespace velmora::db
