#include "store/DecryptionStream.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

// Reads until count bytes have come or the inner stream delivers nothing more, so
// that a stream delivering a large piece in parts behaves as it would for single
// blocks.
std::int64_t ReadAll(Stream& inner, std::uint8_t* data, std::int64_t count)
{
    std::int64_t done = 0;
    while (done < count) {
        const std::int64_t n = inner.Read(data + done, count - done);
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

TDecryptionStream::TDecryptionStream(MaybeOwned<Stream> inner, MaybeOwned<const TCryptography> cipher)
    : TBasicCryptographyStream(std::move(inner), std::move(cipher))
{
}

bool TDecryptionStream::FillBlock()
{
    const std::int64_t size = BlockSize();
    m_count = 0;
    m_readPos = 0;
    if (ReadAll(Inner(), m_block.data(), size) < size || !m_cipher->DecryptBlock(m_block.data()))
        return false;
    m_count = size;
    return true;
}

std::int64_t TDecryptionStream::Read(void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    auto* target = static_cast<std::uint8_t*>(buffer);
    const std::int64_t size = BlockSize();

    std::int64_t done = std::min(m_count - m_readPos, count);
    std::memcpy(target, m_block.data() + m_readPos, static_cast<std::size_t>(done));
    m_readPos += done;

    // Whole blocks are read straight into the caller's buffer and decrypted there.
    // Where this stops is where a block-at-a-time read would stop.
    if (count - done >= size) {
        const std::int64_t wanted = (count - done) / size * size;
        std::uint8_t* run = target + done;
        const std::int64_t got = ReadAll(Inner(), run, wanted);
        const std::int64_t blocks = got / size;
        const auto decrypted = static_cast<std::int64_t>(
            m_cipher->DecryptBlocks(run, static_cast<std::size_t>(blocks)));
        if (decrypted < blocks) {
            // One block at a time the read would have ended with the failed block.
            const std::int64_t unread = got - (decrypted + 1) * size;
            if (unread > 0)
                Inner().Seek(-unread, SeekOrigin::Current);
            return done + decrypted * size;
        }
        done += blocks * size;
        if (got < wanted)
            return done;
    }

    if (done < count) {
        if (!FillBlock())
            return done;
        const std::int64_t n = count - done;
        std::memcpy(target + done, m_block.data(), static_cast<std::size_t>(n));
        m_readPos = n;
        done = count;
    }
    return done;
}

std::int64_t TDecryptionStream::SeekFromBeginning(std::int64_t target)
{
    const std::int64_t size = BlockSize();
    const std::int64_t within = target % size;
    const std::int64_t position = Inner().Seek(target - within, SeekOrigin::Beginning);
    m_count = 0;
    m_readPos = 0;
    std::int64_t discarded = 0;
    std::uint8_t byte;
    while (discarded < within && Read(&byte, 1) == 1)
        ++discarded;
    return position + discarded;
}

std::int64_t TDecryptionStream::Seek(std::int64_t offset, SeekOrigin origin)
{
    switch (origin) {
    case SeekOrigin::Beginning:
        return SeekFromBeginning(offset);
    case SeekOrigin::Current: {
        // The inner stream stands at the end of the block in the buffer; the
        // position is the next byte to deliver, so bytes not yet read come off.
        const std::int64_t position = Inner().Seek(0, SeekOrigin::Current) - (m_count - m_readPos);
        return offset == 0 ? position : SeekFromBeginning(position + offset);
    }
    case SeekOrigin::End:
        return SeekFromBeginning(offset + Inner().Size());
    }
    throw StreamError("Invalid seek origin");
}

} // namespace velmora
