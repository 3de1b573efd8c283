#include "store/BlobWriteStream.h"

#include "store/BlobSpool.h"

#include <utility>

namespace velmora::db {

BlobWriteStream::BlobWriteStream(std::shared_ptr<BlobSpool> spool) : m_spool(std::move(spool))
{
}

std::int64_t BlobWriteStream::Read(void* buffer, std::int64_t count)
{
    const std::int64_t n = m_spool->Read(m_position, buffer, count);
    m_position += n;
    return n;
}

std::int64_t BlobWriteStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    m_spool->Write(m_position, buffer, count);
    m_position += count;
    return count;
}

std::int64_t BlobWriteStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    std::int64_t base = 0;
    switch (origin) {
    case SeekOrigin::Beginning: base = 0; break;
    case SeekOrigin::Current: base = m_position; break;
    case SeekOrigin::End: base = m_spool->Size(); break;
    default: throw StreamError("Blob stream: bad seek origin");
    }
    if (base + offset < 0)
        throw StreamError("Blob stream: seek before the start");
    m_position = base + offset;
    return m_position;
}

void BlobWriteStream::SetSize(std::int64_t newSize)
{
    m_spool->Truncate(newSize);
    if (m_position > newSize)
        m_position = newSize;
}

std::int64_t BlobWriteStream::Size()
{
    return m_spool->Size();
}

} // namespace velmora::db
