#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace velmora {

enum class SeekOrigin { Beginning = 0, Current = 1, End = 2 };

// Raised by streams that cannot do what was asked (filters, short reads, bad origins).
class StreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The project's stream base: read, write, seek and set-size, as every stream the
// store, the cipher filters and the database blobs are built on.
class Stream {
public:
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    virtual ~Stream() = default;

    // Each returns the number of bytes actually moved; never more than count.
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    // Returns the new position. Raises StreamError where seeking is not possible.
    virtual std::int64_t Seek(std::int64_t offset, SeekOrigin origin) = 0;
    // Streams of a fixed length raise StreamError.
    virtual void SetSize(std::int64_t newSize);

    std::int64_t Position() { return Seek(0, SeekOrigin::Current); }
    void SetPosition(std::int64_t position) { Seek(position, SeekOrigin::Beginning); }
    // Measured by seeking to the end and back, so filters report their own view of it.
    virtual std::int64_t Size();

    // Raises StreamError when what the stream reads has changed since it was opened (a
    // file written to meanwhile), so that what was read of it may not stand for it.
    // Nothing changes under most streams.
    virtual void ConfirmUnchanged() {}

    // Read or write exactly count bytes, else StreamError.
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);

    // Copies count bytes from source's current position; count 0 copies the whole of
    // source from its position 0. Returns the number of bytes copied. Raises StreamError
    // when source ends early or this stream takes fewer bytes than offered.
    std::int64_t CopyFrom(Stream& source, std::int64_t count);
};

} // namespace velmora
