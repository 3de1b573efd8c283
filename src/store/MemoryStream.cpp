#include "store/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace velmora {

std::int64_t MemoryStream::Read(void* buffer, std::int64_t count)
{
    const auto size = static_cast<std::int64_t>(m_bytes.size());
    if (count <= 0 || m_position >= size)
        return 0;
    const std::int64_t n = std::min(count, size - m_position);
    std::memcpy(buffer, m_bytes.data() + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
}

std::int64_t MemoryStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    const std::int64_t end = m_position + count;
    if (end > static_cast<std::int64_t>(m_bytes.size()))
        m_bytes.resize(static_cast<std::size_t>(end), '\0');
    std::memcpy(m_bytes.data() + m_position, buffer, static_cast<std::size_t>(count));
    m_position = end;
    return count;
}

std::int64_t MemoryStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    std::int64_t target = 0;
    switch (origin) {
    case SeekOrigin::Beginning:
        target = offset;
        break;
    case SeekOrigin::Current:
        target = m_position + offset;
        break;
    case SeekOrigin::End:
        target = static_cast<std::int64_t>(m_bytes.size()) + offset;
        break;
    default:
        throw StreamError("Invalid seek origin");
    }
    if (target < 0)
        throw StreamError("Cannot seek before the start of a memory stream");
    m_position = target;
    return m_position;
}

void MemoryStream::SetSize(std::int64_t newSize)
{
    if (newSize < 0)
        throw StreamError("Invalid memory stream size");
    m_bytes.resize(static_cast<std::size_t>(newSize), '\0');
    m_position = std::min(m_position, newSize);
}

std::string MemoryStream::TakeBytes()
{
    std::string bytes = std::move(m_bytes);
    Clear();
    return bytes;
}

void MemoryStream::Clear()
{
    m_bytes.clear();
    m_position = 0;
}

} // namespace velmora
