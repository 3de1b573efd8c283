#include "store/ValueReadStream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace velmora::db {

ValueReadStream::ValueReadStream(std::string bytes) : m_bytes(std::move(bytes))
{
}

std::int64_t ValueReadStream::Read(void* buffer, std::int64_t count)
{
    const std::int64_t n = std::min(count, Size() - m_position);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, m_bytes.data() + m_position, static_cast<std::size_t>(n));
    m_position += n;
    return n;
}

std::int64_t ValueReadStream::Write(const void*, std::int64_t)
{
    throw StreamError("Value stream: cannot write");
}

std::int64_t ValueReadStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    std::int64_t base = 0;
    switch (origin) {
    case SeekOrigin::Beginning: base = 0; break;
    case SeekOrigin::Current: base = m_position; break;
    case SeekOrigin::End: base = Size(); break;
    default: throw StreamError("Value stream: bad seek origin");
    }
    if (base + offset < 0)
        throw StreamError("Value stream: seek before the start");
    m_position = base + offset;
    return m_position;
}

} // namespace velmora::db
