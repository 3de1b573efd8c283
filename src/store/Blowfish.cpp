#include "store/Blowfish.h"

#include "store/BlowfishWide.h"

#include <cstring>
#include <utility>

namespace velmora {

namespace {

using SBoxes = std::array<std::array<std::uint32_t, blowfish::kSBoxWords>, blowfish::kSBoxes>;

inline std::uint32_t LoadLittle(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

inline void StoreLittle(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Only the low five bits of S1 and S3 enter the sum. The key set-up works on the
// tables as they are being replaced, so it takes those bits from the tables themselves.
struct WholeTables {
    const SBoxes& s;
    std::uint32_t operator()(std::uint32_t x) const
    {
        return ((s[0][x >> 24] + (s[1][(x >> 16) & 255] & 31)) ^ s[2][(x >> 8) & 255]) + (s[3][x & 255] & 31);
    }
};

// Content is ciphered with those bits kept apart, a byte each: fewer operations per
// round and a smaller share of the cache.
struct PackedTables {
    const std::uint32_t* s0;
    const std::uint8_t* low1;
    const std::uint32_t* s2;
    const std::uint8_t* low3;
    std::uint32_t operator()(std::uint32_t x) const
    {
        return ((s0[x >> 24] + low1[(x >> 16) & 255]) ^ s2[(x >> 8) & 255]) + low3[x & 255];
    }
};

// N blocks side by side: each block is a chain of dependent table look-ups, so
// interleaving independent blocks keeps the processor busy while loads are in flight.
// Decrypt walks the P-array backwards; the rounds are otherwise the same.
template <int N, bool Decrypt, typename Round>
inline void CipherBlocks(const std::uint32_t* p, const Round& round, std::uint8_t* data)
{
    constexpr auto k = [](int i) { return Decrypt ? 17 - i : i; };
    std::uint32_t a[N];
    std::uint32_t b[N];
#pragma GCC unroll 8
    for (int n = 0; n < N; ++n) {
        a[n] = LoadLittle(data + 8 * n);
        b[n] = LoadLittle(data + 8 * n + 4);
    }
#pragma GCC unroll 16
    for (int i = 0; i < 16; i += 2) {
        const std::uint32_t p0 = p[k(i)];
        const std::uint32_t p1 = p[k(i + 1)];
#pragma GCC unroll 8
        for (int n = 0; n < N; ++n) {
            a[n] ^= p0;
            b[n] ^= round(a[n]);
            b[n] ^= p1;
            a[n] ^= round(b[n]);
        }
    }
    const std::uint32_t p16 = p[k(16)];
    const std::uint32_t p17 = p[k(17)];
#pragma GCC unroll 8
    for (int n = 0; n < N; ++n) {
        StoreLittle(data + 8 * n, b[n] ^ p17);
        StoreLittle(data + 8 * n + 4, a[n] ^ p16);
    }
}

template <bool Decrypt>
inline void CipherRun(const std::uint32_t* p, const PackedTables& round, std::uint8_t* data, std::size_t count)
{
    constexpr int kWidth = 8;
    for (; count >= kWidth; count -= kWidth, data += 8 * kWidth)
        CipherBlocks<kWidth, Decrypt>(p, round, data);
    for (; count > 0; --count, data += 8)
        CipherBlocks<1, Decrypt>(p, round, data);
}

} // namespace

TBlowfish::TBlowfish(const std::string& key)
{
    Initialize("Blowfish", kBlockSize, key, kKeySize);
}

void TBlowfish::ClearTables()
{
    m_p.fill(0);
    for (auto& box : m_s)
        box.fill(0);
    PackTables();
}

void TBlowfish::PackTables()
{
    for (int i = 0; i < blowfish::kSBoxWords; ++i) {
        m_low1[i] = static_cast<std::uint8_t>(m_s[1][i] & 31);
        m_low3[i] = static_cast<std::uint8_t>(m_s[3][i] & 31);
        for (int k = 0; k < 4; ++k) {
            m_planes0[k][i] = static_cast<std::uint8_t>(m_s[0][i] >> (8 * k));
            m_planes2[k][i] = static_cast<std::uint8_t>(m_s[2][i] >> (8 * k));
        }
    }
}

void TBlowfish::ExpandKey()
{
    std::memcpy(m_p.data(), blowfish::kInitialP, sizeof blowfish::kInitialP);
    for (int i = 0; i < blowfish::kSBoxes; ++i)
        std::memcpy(m_s[i].data(), blowfish::kInitialS[i], sizeof blowfish::kInitialS[i]);
    for (int i = 0; i < blowfish::kPWords; ++i)
        m_p[i] ^= KeyWord(i);
    // Each encryption uses the tables as far as they have been replaced so far.
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (int i = 0; i < blowfish::kPWords; i += 2) {
        EncryptWords(left, right);
        m_p[i] = left;
        m_p[i + 1] = right;
    }
    for (auto& box : m_s) {
        for (int j = 0; j < blowfish::kSBoxWords; j += 2) {
            EncryptWords(left, right);
            box[j] = left;
            box[j + 1] = right;
        }
    }
    PackTables();
}

void TBlowfish::EncryptWords(std::uint32_t& left, std::uint32_t& right) const
{
    std::uint8_t block[8];
    StoreLittle(block, left);
    StoreLittle(block + 4, right);
    CipherBlocks<1, false>(m_p.data(), WholeTables{m_s}, block);
    left = LoadLittle(block);
    right = LoadLittle(block + 4);
}

bool TBlowfish::CipherBlock(void* block, int start, int step) const
{
    auto* bytes = static_cast<std::uint8_t*>(block);
    std::uint32_t x = LoadLittle(bytes);
    std::uint32_t y = LoadLittle(bytes + 4);
    int k = start;
    const WholeTables round{m_s};
    for (int i = 0; i < 16; ++i) {
        x ^= m_p[k];
        k += step;
        y ^= round(x);
        std::swap(x, y);
    }
    std::swap(x, y);
    y ^= m_p[k];
    k += step;
    x ^= m_p[k];
    StoreLittle(bytes, x);
    StoreLittle(bytes + 4, y);
    return true;
}

bool TBlowfish::EncryptBlock(void* block) const
{
    CipherBlocks<1, false>(m_p.data(), PackedTables{m_s[0].data(), m_low1.data(), m_s[2].data(), m_low3.data()}, static_cast<std::uint8_t*>(block));
    return true;
}

bool TBlowfish::DecryptBlock(void* block) const
{
    CipherBlocks<1, true>(m_p.data(), PackedTables{m_s[0].data(), m_low1.data(), m_s[2].data(), m_low3.data()}, static_cast<std::uint8_t*>(block));
    return true;
}

std::size_t TBlowfish::EncryptBlocks(void* blocks, std::size_t count) const
{
    auto* data = static_cast<std::uint8_t*>(blocks);
    const std::size_t wide = blowfish::CipherWide(WideTables(), false, data, count);
    CipherRun<false>(m_p.data(), PackedTables{m_s[0].data(), m_low1.data(), m_s[2].data(), m_low3.data()}, data + 8 * wide, count - wide);
    return count;
}

std::size_t TBlowfish::DecryptBlocks(void* blocks, std::size_t count) const
{
    auto* data = static_cast<std::uint8_t*>(blocks);
    const std::size_t wide = blowfish::CipherWide(WideTables(), true, data, count);
    CipherRun<true>(m_p.data(), PackedTables{m_s[0].data(), m_low1.data(), m_s[2].data(), m_low3.data()}, data + 8 * wide, count - wide);
    return count;
}

blowfish::RoundTables TBlowfish::WideTables() const
{
    return {m_p.data(), m_planes0, m_low1.data(), m_planes2, m_low3.data()};
}

} // namespace velmora
