#pragma once

// Streams and ciphers that misbehave on purpose, and block-at-a-time renderings of
// the cipher filters, for checking that the filters stop where they should.

#include "store/Blowfish.h"
#include "store/MemoryStream.h"

#include <algorithm>
#include <string>

namespace velmora::test {

// A memory stream that takes at most capacity bytes in all, and at most perCall
// bytes per write or read call.
class CappedStream : public MemoryStream {
public:
    explicit CappedStream(std::int64_t capacity, std::int64_t perCall = 1 << 30, std::string bytes = {})
        : MemoryStream(std::move(bytes)), m_capacity(capacity), m_perCall(perCall)
    {
    }

    std::int64_t Write(const void* buffer, std::int64_t count) override
    {
        const std::int64_t room = std::max<std::int64_t>(0, m_capacity - Position());
        return MemoryStream::Write(buffer, std::min({count, room, m_perCall}));
    }

    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        return MemoryStream::Read(buffer, std::min(count, m_perCall));
    }

private:
    std::int64_t m_capacity;
    std::int64_t m_perCall;
};

// TBlowfish that reports failure for its failAt-th block (counted from 1).
class FailingCipher : public TCryptography {
public:
    FailingCipher(const std::string& key, int failAt) : m_cipher(key), m_failAt(failAt)
    {
        Initialize("Failing", 8, "", 72);
    }

    bool EncryptBlock(void* block) const override
    {
        return ++m_calls != m_failAt && m_cipher.EncryptBlock(block);
    }
    bool DecryptBlock(void* block) const override
    {
        return ++m_calls != m_failAt && m_cipher.DecryptBlock(block);
    }

protected:
    void ExpandKey() override {}
    void ClearTables() override {}

private:
    TBlowfish m_cipher;
    int m_failAt;
    mutable int m_calls = 0;
};

// The encryption filter's write as described, one block at a time.
class BlockwiseEncryptor {
public:
    BlockwiseEncryptor(Stream& inner, const TCryptography& cipher) : m_inner(inner), m_cipher(cipher) {}

    std::int64_t Write(const std::string& data)
    {
        std::int64_t moved = 0;
        std::size_t at = 0;
        while (at < data.size()) {
            const std::size_t n = std::min(8 - m_block.size(), data.size() - at);
            m_block += data.substr(at, n);
            at += n;
            moved += static_cast<std::int64_t>(n);
            if (m_block.size() == 8) {
                std::string block = m_block;
                m_block.clear();
                if (!m_cipher.EncryptBlock(block.data()) || m_inner.Write(block.data(), 8) < 8)
                    break;
            }
        }
        return moved;
    }

private:
    Stream& m_inner;
    const TCryptography& m_cipher;
    std::string m_block;
};

// The decryption filter's read as described, one block at a time.
class BlockwiseDecryptor {
public:
    BlockwiseDecryptor(Stream& inner, const TCryptography& cipher) : m_inner(inner), m_cipher(cipher) {}

    std::string Read(std::size_t count)
    {
        std::string out;
        while (out.size() < count) {
            if (m_pos >= m_block.size()) {
                std::string block(8, '\0');
                m_block.clear();
                m_pos = 0;
                if (m_inner.Read(block.data(), 8) < 8 || !m_cipher.DecryptBlock(block.data()))
                    break;
                m_block = block;
            }
            const std::size_t n = std::min(m_block.size() - m_pos, count - out.size());
            out += m_block.substr(m_pos, n);
            m_pos += n;
        }
        return out;
    }

private:
    Stream& m_inner;
    const TCryptography& m_cipher;
    std::string m_block;
    std::size_t m_pos = 0;
};

} // namespace velmora::test
