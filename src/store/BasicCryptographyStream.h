#pragma once

#include "store/BasicStreamFilter.h"
#include "store/Cryptography.h"

#include <cstdint>
#include <vector>

namespace velmora {

// A filter that passes its data through a block cipher, one block buffer at a time.
class TBasicCryptographyStream : public TBasicStreamFilter {
public:
    TBasicCryptographyStream(MaybeOwned<Stream> inner, MaybeOwned<const TCryptography> cipher);

    const TCryptography& Cipher() const { return m_cipher.get(); }
    bool OwnsCipher() const { return m_cipher.owns(); }

protected:
    std::int64_t BlockSize() const { return static_cast<std::int64_t>(m_block.size()); }

    MaybeOwned<const TCryptography> m_cipher;
    std::vector<std::uint8_t> m_block;   // one block of the cipher's block size
    std::int64_t m_count = 0;            // bytes held in m_block
};

} // namespace velmora
