#pragma once

#include "store/BasicCryptographyStream.h"

namespace velmora {

// Decrypts the inner stream as it is read, block by block. Positions count plaintext
// bytes; a trailing part of the inner stream shorter than a block is not part of it,
// so the size is the inner size rounded down to whole blocks.
class TDecryptionStream : public TBasicCryptographyStream {
public:
    TDecryptionStream(MaybeOwned<Stream> inner, MaybeOwned<const TCryptography> cipher);

    // Stops at the end of the last whole block, or at a block that fails to decrypt.
    std::int64_t Read(void* buffer, std::int64_t count) override;
    // Raises StreamError "Invalid seek origin" for an origin that is none of the three.
    std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;

private:
    std::int64_t SeekFromBeginning(std::int64_t target);
    // Reads and decrypts the next block into the buffer; false at the end.
    bool FillBlock();

    std::int64_t m_readPos = 0;   // next byte of m_block to deliver
};

} // namespace velmora
