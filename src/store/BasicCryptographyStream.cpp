#include "store/BasicCryptographyStream.h"

namespace velmora {

TBasicCryptographyStream::TBasicCryptographyStream(MaybeOwned<Stream> inner,
                                                   MaybeOwned<const TCryptography> cipher)
    : TBasicStreamFilter(std::move(inner)), m_cipher(std::move(cipher))
{
    if (m_cipher->BlockSize() <= 0)
        throw StreamError("Cipher has no block size");
    m_block.assign(static_cast<std::size_t>(m_cipher->BlockSize()), 0);
}

} // namespace velmora
