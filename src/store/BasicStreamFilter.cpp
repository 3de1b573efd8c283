#include "store/BasicStreamFilter.h"

namespace velmora {

// The class named in the messages is always the base, whatever filter was asked.
TBasicStreamFilter::TBasicStreamFilter(MaybeOwned<Stream> inner) : m_inner(std::move(inner)) {}

std::int64_t TBasicStreamFilter::Read(void*, std::int64_t)
{
    throw StreamError("Cannot read from this type of stream filter [TBasicStreamFilter]");
}

std::int64_t TBasicStreamFilter::Write(const void*, std::int64_t)
{
    throw StreamError("Cannot write to this type of stream filter [TBasicStreamFilter]");
}

std::int64_t TBasicStreamFilter::Seek(std::int64_t, SeekOrigin)
{
    throw StreamError("Cannot seek on this type of stream filter [TBasicStreamFilter]");
}

} // namespace velmora
