#pragma once

#include "store/Stream.h"

#include <string>

namespace velmora {

// A stream over bytes held in memory; it grows as it is written. The position may
// be set beyond the end: a write there fills the gap with zero bytes.
class MemoryStream : public Stream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::string bytes) : m_bytes(std::move(bytes)) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
    void SetSize(std::int64_t newSize) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(m_bytes.size()); }

    const std::string& Bytes() const { return m_bytes; }
    // Hands the bytes over and leaves the stream empty at position 0.
    std::string TakeBytes();
    void Clear();

private:
    std::string m_bytes;
    std::int64_t m_position = 0;
};

} // namespace velmora
