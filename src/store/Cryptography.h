#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Base of the block ciphers: a name, a block size and a text key folded into a
// key buffer of fixed size, from which a subclass builds its tables.
class TCryptography {
public:
    // The key every cipher starts out with; it never builds tables.
    static constexpr const char* kDefaultKey = "zerkat";

    TCryptography(const TCryptography&) = delete;
    TCryptography& operator=(const TCryptography&) = delete;
    virtual ~TCryptography() = default;

    const std::string& Name() const { return m_name; }
    int BlockSize() const { return m_blockSize; }
    const std::string& CurrentKey() const { return m_currentKey; }
    int KeySize() const { return m_keySize; }
    const std::vector<std::uint8_t>& KeyBuffer() const { return m_keyBuffer; }

    // Builds the tables for key unless it is empty or the default key (then the
    // tables are all zero and the cipher leaves content readable).
    void SetKey(const std::string& key);

    // Encrypt or decrypt one block of BlockSize() bytes in place; false on failure.
    virtual bool EncryptBlock(void* block) const = 0;
    virtual bool DecryptBlock(void* block) const = 0;

    // The same for count consecutive blocks; returns how many blocks were done before
    // the first failure (count when none failed). Subclasses replace the loop with a
    // faster one; the streams call these for runs of whole blocks.
    virtual std::size_t EncryptBlocks(void* blocks, std::size_t count) const;
    virtual std::size_t DecryptBlocks(void* blocks, std::size_t count) const;

protected:
    TCryptography() = default;

    virtual void Initialize(const std::string& name, int blockSize, const std::string& key,
                            int keySize);
    // Folds the current key into the key buffer (seen as little-endian 32-bit words).
    virtual void FoldKey();
    // Builds the cipher's tables from the key buffer.
    virtual void ExpandKey() = 0;
    // Returns the cipher to the state of an object keyed with nothing: zero tables.
    virtual void ClearTables() = 0;

    // Word i of the key buffer, little-endian.
    std::uint32_t KeyWord(int i) const;

private:
    std::string m_name;
    int m_blockSize = 0;
    std::string m_currentKey = kDefaultKey;
    int m_keySize = 0;
    std::vector<std::uint8_t> m_keyBuffer;
};

} // namespace velmora
