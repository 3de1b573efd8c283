#include "store/Cryptography.h"

#include <algorithm>
#include <bit>

namespace velmora {

void TCryptography::Initialize(const std::string& name, int blockSize, const std::string& key,
                               int keySize)
{
    m_name = name;
    m_blockSize = blockSize;
    m_keySize = keySize;
    m_currentKey = kDefaultKey;
    m_keyBuffer.assign(static_cast<std::size_t>(keySize), 0);
    SetKey(key);
}

void TCryptography::SetKey(const std::string& key)
{
    if (key == m_currentKey)
        return;
    // Re-keying starts from a clean buffer so that a re-keyed cipher has exactly the
    // tables of one constructed with the new key; folding on top of an old key would
    // make its output unreadable to everybody else.
    std::fill(m_keyBuffer.begin(), m_keyBuffer.end(), std::uint8_t{0});
    m_currentKey = key;
    if (key.empty() || key == kDefaultKey) {
        ClearTables();
        return;
    }
    FoldKey();
    ExpandKey();
}

std::uint32_t TCryptography::KeyWord(int i) const
{
    const std::uint8_t* b = m_keyBuffer.data() + 4 * i;
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

void TCryptography::FoldKey()
{
    const std::string& key = m_currentKey;
    const std::size_t length = key.size();
    if (length == 0 || m_keySize < 4)
        return;
    // The key is extended with its own characters, cycling, to a multiple of the
    // buffer size; character n of the extended key is therefore key[n mod length].
    const std::size_t bufferSize = static_cast<std::size_t>(m_keySize);
    const std::size_t extended = (length + bufferSize - 1) / bufferSize * bufferSize;
    const std::size_t words = bufferSize / 4;
    auto byteAt = [&](std::size_t n) { return std::uint32_t{static_cast<std::uint8_t>(key[n % length])}; };
    for (std::size_t j = 0; 4 * j < extended; ++j) {
        const std::uint32_t w = byteAt(4 * j) | byteAt(4 * j + 1) << 8 | byteAt(4 * j + 2) << 16 |
                                byteAt(4 * j + 3) << 24;
        std::uint8_t* b = m_keyBuffer.data() + 4 * (j % words);
        std::uint32_t current = std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 |
                                std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
        current = std::rotl(current, static_cast<int>(w % 32)) ^ w;
        b[0] = static_cast<std::uint8_t>(current);
        b[1] = static_cast<std::uint8_t>(current >> 8);
        b[2] = static_cast<std::uint8_t>(current >> 16);
        b[3] = static_cast<std::uint8_t>(current >> 24);
    }
}

std::size_t TCryptography::EncryptBlocks(void* blocks, std::size_t count) const
{
    auto* p = static_cast<std::uint8_t*>(blocks);
    for (std::size_t i = 0; i < count; ++i, p += m_blockSize)
        if (!EncryptBlock(p))
            return i;
    return count;
}

std::size_t TCryptography::DecryptBlocks(void* blocks, std::size_t count) const
{
    auto* p = static_cast<std::uint8_t*>(blocks);
    for (std::size_t i = 0; i < count; ++i, p += m_blockSize)
        if (!DecryptBlock(p))
            return i;
    return count;
}

} // namespace velmora
