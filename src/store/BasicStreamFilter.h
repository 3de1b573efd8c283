#pragma once

#include "store/MaybeOwned.h"
#include "store/Stream.h"

namespace velmora {

// A stream that works on another stream. It refuses to read, write and seek; each
// filter enables the operations that make sense for it.
class TBasicStreamFilter : public Stream {
public:
    explicit TBasicStreamFilter(MaybeOwned<Stream> inner);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

    Stream& Inner() const { return m_inner.get(); }
    bool OwnsInner() const { return m_inner.owns(); }

private:
    MaybeOwned<Stream> m_inner;
};

} // namespace velmora
