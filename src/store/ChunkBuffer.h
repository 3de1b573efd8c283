#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace velmora {

// The bytes of one chunk on their way between a file, the cipher and a database: one
// allocation, aligned to a cache line, reused from chunk to chunk, that the cipher
// works on in place. Its content is not kept when it grows.
class ChunkBuffer {
public:
    static constexpr std::size_t kAlignment = 64;

    explicit ChunkBuffer(std::int64_t capacity) { Reserve(capacity); }

    std::uint8_t* Data() { return m_data.get(); }
    const std::uint8_t* Data() const { return m_data.get(); }
    std::int64_t Capacity() const { return m_capacity; }

    // Room for at least capacity bytes (whole cipher blocks of them).
    void Reserve(std::int64_t capacity)
    {
        capacity = (capacity + 7) / 8 * 8;
        if (capacity <= m_capacity && m_data)
            return;
        m_data.reset(static_cast<std::uint8_t*>(
            ::operator new[](static_cast<std::size_t>(capacity > 0 ? capacity : 8), std::align_val_t{kAlignment})));
        m_capacity = capacity;
    }

private:
    struct Release {
        void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t{kAlignment}); }
    };
    std::unique_ptr<std::uint8_t[], Release> m_data;
    std::int64_t m_capacity = 0;
};

} // namespace velmora
