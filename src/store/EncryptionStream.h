#pragma once

#include "store/BasicCryptographyStream.h"

#include <vector>

namespace velmora {

// Encrypts what is written to it into the inner stream, block by block, without a
// header or chaining. The last partial block is completed with zero bytes when the
// stream is finished or released, so the inner stream is complete only after that.
class TEncryptionStream : public TBasicCryptographyStream {
public:
    TEncryptionStream(MaybeOwned<Stream> inner, MaybeOwned<const TCryptography> cipher);
    ~TEncryptionStream() override;

    // Returns the number of bytes taken, which includes a block that failed to be
    // encrypted or that the inner stream took only in part; nothing more is taken then.
    std::int64_t Write(const void* buffer, std::int64_t count) override;

    // Completes and writes a partial last block now, raising StreamError when it cannot
    // be written; the destructor does the same but has to stay silent about failures.
    void Finish();

private:
    // Encrypts and writes the full block buffer and empties it; false on failure.
    bool WriteBlock();

    std::vector<std::uint8_t> m_piece;   // runs of whole blocks, made on first use
};

} // namespace velmora
