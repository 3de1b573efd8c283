#include "store/BlowfishWide.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace velmora::blowfish {

#if defined(__x86_64__) && defined(__GNUC__)

namespace {

bool HasWideInstructions()
{
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi");
    return has;
}

} // namespace

// Only this part is built for those instructions; it runs only where the processor has them.
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vbmi")
// GCC 12 warns of the intentionally undefined vectors inside its own intrinsics.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

constexpr int kLanes = 16;                              // blocks to a register pair
constexpr int kRegisters = kWideGroup / kLanes;         // independent pairs in flight

// The 256 bytes of a low-bits table in four registers; a look-up of the low byte of each
// 32-bit lane, by two-table byte permutes and the index's top bit.
struct ByteTable {
    explicit ByteTable(const std::uint8_t* table)
    {
        for (int i = 0; i < 4; ++i)
            part[i] = _mm512_loadu_si512(table + 64 * i);
    }
    __m512i Lookup(__m512i index) const
    {
        const __m512i low = _mm512_permutex2var_epi8(part[0], index, part[1]);
        const __m512i high = _mm512_permutex2var_epi8(part[2], index, part[3]);
        const __m512i byte = _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
        return _mm512_and_si512(byte, _mm512_set1_epi32(0xff));
    }
    __m512i part[4];
};

// Gathers are slow next to the byte permutes: only S0 and S2, the full words, use them.
struct WideRound {
    const std::uint32_t* s0;
    const std::uint32_t* s2;
    ByteTable low1;
    ByteTable low3;
    __m512i operator()(__m512i x) const
    {
        const __m512i bytes = _mm512_set1_epi32(0xff);
        const __m512i a = _mm512_srli_epi32(x, 24);
        const __m512i b = _mm512_and_si512(_mm512_srli_epi32(x, 16), bytes);
        const __m512i c = _mm512_and_si512(_mm512_srli_epi32(x, 8), bytes);
        const __m512i d = _mm512_and_si512(x, bytes);
        __m512i f = _mm512_add_epi32(_mm512_i32gather_epi32(a, s0, 4), low1.Lookup(b));
        f = _mm512_xor_si512(f, _mm512_i32gather_epi32(c, s2, 4));
        return _mm512_add_epi32(f, low3.Lookup(d));
    }
};

} // namespace

static std::size_t CipherGroups(const RoundTables& tables, bool decrypt, std::uint8_t* data, std::size_t count)
{
    std::uint32_t p[18];
    for (int i = 0; i < 18; ++i)
        p[i] = tables.p[decrypt ? 17 - i : i];
    const WideRound round{tables.s0, tables.s2, ByteTable(tables.low1), ByteTable(tables.low3)};
    // A block's halves are neighbouring little-endian words: the first halves of 16 blocks
    // go to one register, the second halves to another, and back.
    const __m512i firsts = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
    const __m512i seconds = _mm512_setr_epi32(1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31);
    const __m512i lowBlocks = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __m512i highBlocks = _mm512_setr_epi32(8, 24, 9, 25, 10, 26, 11, 27, 12, 28, 13, 29, 14, 30, 15, 31);

    const std::size_t groups = count / kWideGroup;
    for (std::size_t g = 0; g < groups; ++g, data += 8 * kWideGroup) {
        __m512i a[kRegisters];
        __m512i b[kRegisters];
        for (int r = 0; r < kRegisters; ++r) {
            const __m512i low = _mm512_loadu_si512(data + 128 * r);
            const __m512i high = _mm512_loadu_si512(data + 128 * r + 64);
            a[r] = _mm512_permutex2var_epi32(low, firsts, high);
            b[r] = _mm512_permutex2var_epi32(low, seconds, high);
        }
        // As the scalar rounds, with independent registers side by side while the
        // look-ups of one are in flight.
        for (int i = 0; i < 16; i += 2) {
            const __m512i p0 = _mm512_set1_epi32(static_cast<int>(p[i]));
            const __m512i p1 = _mm512_set1_epi32(static_cast<int>(p[i + 1]));
            for (int r = 0; r < kRegisters; ++r) {
                a[r] = _mm512_xor_si512(a[r], p0);
                b[r] = _mm512_xor_si512(b[r], round(a[r]));
            }
            for (int r = 0; r < kRegisters; ++r) {
                b[r] = _mm512_xor_si512(b[r], p1);
                a[r] = _mm512_xor_si512(a[r], round(b[r]));
            }
        }
        const __m512i p16 = _mm512_set1_epi32(static_cast<int>(p[16]));
        const __m512i p17 = _mm512_set1_epi32(static_cast<int>(p[17]));
        for (int r = 0; r < kRegisters; ++r) {
            const __m512i first = _mm512_xor_si512(b[r], p17);
            const __m512i second = _mm512_xor_si512(a[r], p16);
            _mm512_storeu_si512(data + 128 * r, _mm512_permutex2var_epi32(first, lowBlocks, second));
            _mm512_storeu_si512(data + 128 * r + 64, _mm512_permutex2var_epi32(first, highBlocks, second));
        }
    }
    return groups * kWideGroup;
}

#pragma GCC diagnostic pop
#pragma GCC pop_options

std::size_t CipherWide(const RoundTables& tables, bool decrypt, std::uint8_t* data, std::size_t count)
{
    if (count < kWideGroup || !HasWideInstructions())
        return 0;
    return CipherGroups(tables, decrypt, data, count);
}

#else

std::size_t CipherWide(const RoundTables&, bool, std::uint8_t*, std::size_t)
{
    return 0;
}

#endif

} // namespace velmora::blowfish
