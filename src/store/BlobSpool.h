#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace velmora::db {

// The bytes of a long-binary value waiting for its row to be posted. Small values
// stay in memory, where they can be handed to SQLite without a copy; past the
// threshold they move to an unlinked temporary file, so memory stays bounded
// whatever the length.
class BlobSpool {
public:
    static constexpr std::int64_t kDefaultThreshold = 1024 * 1024;

    explicit BlobSpool(std::int64_t memoryThreshold = kDefaultThreshold);
    ~BlobSpool();
    BlobSpool(const BlobSpool&) = delete;
    BlobSpool& operator=(const BlobSpool&) = delete;

    void Write(std::int64_t position, const void* data, std::int64_t count);
    std::int64_t Read(std::int64_t position, void* buffer, std::int64_t count) const;
    void Truncate(std::int64_t size);
    std::int64_t Size() const { return m_size; }

    bool InMemory() const { return m_fd < 0; }
    // The bytes, while InMemory().
    const char* Data() const { return m_memory.data(); }
    // Hands the bytes from position 0 to sink in pieces of at most pieceSize.
    void ForEachPiece(std::int64_t pieceSize,
                      const std::function<void(const char*, std::int64_t, std::int64_t)>& sink) const;

private:
    void MoveToFile();

    std::int64_t m_threshold;
    std::vector<char> m_memory;
    int m_fd = -1;
    std::int64_t m_size = 0;
};

} // namespace velmora::db
