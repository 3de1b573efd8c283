#include "store/Stream.h"

#include <algorithm>
#include <vector>

namespace velmora {

void Stream::SetSize(std::int64_t)
{
    throw StreamError("Stream size cannot be changed");
}

std::int64_t Stream::Size()
{
    const std::int64_t position = Seek(0, SeekOrigin::Current);
    const std::int64_t size = Seek(0, SeekOrigin::End);
    Seek(position, SeekOrigin::Beginning);
    return size;
}

void Stream::ReadBuffer(void* buffer, std::int64_t count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw StreamError("Stream read error");
}

void Stream::WriteBuffer(const void* buffer, std::int64_t count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw StreamError("Stream write error");
}

std::int64_t Stream::CopyFrom(Stream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    // Large pieces keep filters working on many blocks at a time.
    constexpr std::int64_t kPiece = 256 * 1024;
    std::vector<char> piece(static_cast<std::size_t>(std::min(count, kPiece)));
    const std::int64_t total = count;
    while (count > 0) {
        const std::int64_t n = std::min(count, kPiece);
        source.ReadBuffer(piece.data(), n);
        WriteBuffer(piece.data(), n);
        count -= n;
    }
    return total;
}

} // namespace velmora
