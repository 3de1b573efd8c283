#include "store/EncryptionStream.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {
// Whole blocks are encrypted in a buffer of this size and written in one call.
constexpr std::int64_t kPieceSize = 32 * 1024;

// Writes until everything is taken or the inner stream takes nothing more, so that a
// stream taking a large piece in parts behaves as it would for single blocks.
std::int64_t WriteAll(Stream& inner, const std::uint8_t* data, std::int64_t count)
{
    std::int64_t done = 0;
    while (done < count) {
        const std::int64_t n = inner.Write(data + done, count - done);
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

} // namespace

TEncryptionStream::TEncryptionStream(MaybeOwned<Stream> inner, MaybeOwned<const TCryptography> cipher)
    : TBasicCryptographyStream(std::move(inner), std::move(cipher))
{
}

TEncryptionStream::~TEncryptionStream()
{
    try {
        Finish();
    } catch (...) {
        // A destructor cannot report; callers that must know call Finish first.
    }
}

bool TEncryptionStream::WriteBlock()
{
    const std::int64_t size = BlockSize();
    m_count = 0;
    return m_cipher->EncryptBlock(m_block.data()) && Inner().Write(m_block.data(), size) == size;
}

void TEncryptionStream::Finish()
{
    if (m_count == 0)
        return;
    std::fill(m_block.begin() + m_count, m_block.end(), std::uint8_t{0});
    m_count = BlockSize();
    if (!WriteBlock())
        throw StreamError("Cannot write the last cipher block");
}

std::int64_t TEncryptionStream::Write(const void* buffer, std::int64_t count)
{
    if (count <= 0)
        return 0;
    const auto* source = static_cast<const std::uint8_t*>(buffer);
    const std::int64_t size = BlockSize();
    std::int64_t done = 0;

    if (m_count > 0) {
        const std::int64_t n = std::min(size - m_count, count);
        std::memcpy(m_block.data() + m_count, source, static_cast<std::size_t>(n));
        m_count += n;
        done = n;
        if (m_count < size)
            return done;
        if (!WriteBlock())
            return done;
    }

    // Runs of whole blocks go through in large pieces. The counts returned on failure
    // are those of a block-at-a-time write: the block that failed counts as taken.
    if (count - done >= size) {
        const std::int64_t pieceBlocks = std::max<std::int64_t>(1, kPieceSize / size);
        if (m_piece.empty())
            m_piece.resize(static_cast<std::size_t>(pieceBlocks * size));
        std::uint8_t* work = m_piece.data();
        while (count - done >= size) {
            const std::int64_t blocks = std::min((count - done) / size, pieceBlocks);
            std::memcpy(work, source + done, static_cast<std::size_t>(blocks * size));
            const auto encrypted = static_cast<std::int64_t>(
                m_cipher->EncryptBlocks(work, static_cast<std::size_t>(blocks)));
            const std::int64_t ready = encrypted * size;
            const std::int64_t written = WriteAll(Inner(), work, ready);
            if (written < ready)
                return done + (written / size + 1) * size;
            done += ready;
            if (encrypted < blocks)
                return done + size;
        }
    }

    const std::int64_t rest = count - done;
    std::memcpy(m_block.data(), source + done, static_cast<std::size_t>(rest));
    m_count = rest;
    return count;
}

} // namespace velmora
