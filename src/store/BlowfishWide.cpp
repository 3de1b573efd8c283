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

// The blocks are byte-sliced: 64 blocks at a time become eight registers, register k
// holding byte k of every block, so that a table look-up is a byte permute of 64
// indexes at once and no lane carries bytes it does not use.

// 256 bytes of a table in four registers; a look-up takes the low seven bits of each
// index from a pair of them and the top bit chooses the pair.
struct BytePlane {
    __m512i part[4];
    void Load(const std::uint8_t* table)
    {
        for (int i = 0; i < 4; ++i)
            part[i] = _mm512_loadu_si512(table + 64 * i);
    }
    __m512i Lookup(__m512i index, __mmask64 top) const
    {
        const __m512i low = _mm512_permutex2var_epi8(part[0], index, part[1]);
        const __m512i high = _mm512_permutex2var_epi8(part[2], index, part[3]);
        return _mm512_mask_blend_epi8(top, low, high);
    }
};

struct SlicedTables {
    BytePlane s0[4];
    BytePlane low1;
    BytePlane s2[4];
    BytePlane low3;
};

// A 32-bit word in byte planes, least significant first.
struct Word {
    __m512i byte[4];
};

// sum + small, small being below 256: the carry out of each byte goes on up.
inline void AddByte(Word& sum, __m512i small)
{
    const __m512i one = _mm512_set1_epi8(1);
    const __m512i zero = _mm512_setzero_si512();
    sum.byte[0] = _mm512_add_epi8(sum.byte[0], small);
    __mmask64 carry = _mm512_cmplt_epu8_mask(sum.byte[0], small);
    for (int k = 1; k < 4; ++k) {
        sum.byte[k] = _mm512_mask_add_epi8(sum.byte[k], carry, sum.byte[k], one);
        if (k < 3)
            carry = _mm512_mask_cmpeq_epi8_mask(carry, sum.byte[k], zero);
    }
}

// y ^= F(x) ^ p, F being ((S0[x3] + low1[x2]) ^ S2[x1]) + low3[x0]. Inlined always: a
// call would keep the words in memory instead of registers.
[[gnu::always_inline]] inline void Round(const SlicedTables& t, const Word& x, Word& y, std::uint32_t p)
{
    const __mmask64 top3 = _mm512_movepi8_mask(x.byte[3]);
    const __mmask64 top1 = _mm512_movepi8_mask(x.byte[1]);
    Word f;
    for (int k = 0; k < 4; ++k)
        f.byte[k] = t.s0[k].Lookup(x.byte[3], top3);
    AddByte(f, t.low1.Lookup(x.byte[2], _mm512_movepi8_mask(x.byte[2])));
    for (int k = 0; k < 4; ++k)
        f.byte[k] = _mm512_xor_si512(f.byte[k], t.s2[k].Lookup(x.byte[1], top1));
    AddByte(f, t.low3.Lookup(x.byte[0], _mm512_movepi8_mask(x.byte[0])));
    for (int k = 0; k < 4; ++k)
        y.byte[k] = _mm512_ternarylogic_epi32(y.byte[k], f.byte[k],
                                              _mm512_set1_epi8(static_cast<char>(p >> (8 * k))), 0x96);
}

// Eight registers of eight blocks each to byte planes and back. Within a register, an
// 8x8 byte transpose gathers byte k of its blocks into quadword k; across the registers,
// an 8x8 quadword transpose gathers quadword k of all of them into register k. Each
// transpose undoes itself; the way back runs them in the other order.
inline void TransposeBytes(__m512i v[8])
{
    const __m512i bytes = _mm512_set_epi8(63, 55, 47, 39, 31, 23, 15, 7, 62, 54, 46, 38, 30, 22, 14, 6,
                                          61, 53, 45, 37, 29, 21, 13, 5, 60, 52, 44, 36, 28, 20, 12, 4,
                                          59, 51, 43, 35, 27, 19, 11, 3, 58, 50, 42, 34, 26, 18, 10, 2,
                                          57, 49, 41, 33, 25, 17, 9, 1, 56, 48, 40, 32, 24, 16, 8, 0);
    for (int j = 0; j < 8; ++j)
        v[j] = _mm512_permutexvar_epi8(bytes, v[j]);
}

// Stages of stride 1, 2 and 4: after the last, register k holds quadword k of each.
inline void TransposeQuadwords(__m512i v[8])
{
    const auto stage = [v](int stride, __m512i even, __m512i odd) {
        for (int j = 0; j < 8; ++j) {
            if (j & stride)
                continue;
            const __m512i a = v[j];
            const __m512i b = v[j + stride];
            v[j] = _mm512_permutex2var_epi64(a, even, b);
            v[j + stride] = _mm512_permutex2var_epi64(a, odd, b);
        }
    };
    stage(1, _mm512_setr_epi64(0, 8, 2, 10, 4, 12, 6, 14), _mm512_setr_epi64(1, 9, 3, 11, 5, 13, 7, 15));
    stage(2, _mm512_setr_epi64(0, 1, 8, 9, 4, 5, 12, 13), _mm512_setr_epi64(2, 3, 10, 11, 6, 7, 14, 15));
    stage(4, _mm512_setr_epi64(0, 1, 2, 3, 8, 9, 10, 11), _mm512_setr_epi64(4, 5, 6, 7, 12, 13, 14, 15));
}

// N slabs of 64 blocks side by side: the rounds of one slab are a chain, and a second
// one keeps the processor busy while a look-up is in flight.
constexpr int kInFlight = 2;

template <int N>
inline void CipherSlabs(const SlicedTables& t, const std::uint32_t* p, std::uint8_t* data)
{
    Word a[N];
    Word b[N];
    for (int n = 0; n < N; ++n) {
        __m512i v[8];
        for (int j = 0; j < 8; ++j)
            v[j] = _mm512_loadu_si512(data + 512 * n + 64 * j);
        TransposeBytes(v);
        TransposeQuadwords(v);
        // The halves of a block are its bytes 0-3 and 4-7, little-endian words.
        for (int k = 0; k < 4; ++k) {
            a[n].byte[k] = _mm512_xor_si512(v[k], _mm512_set1_epi8(static_cast<char>(p[0] >> (8 * k))));
            b[n].byte[k] = v[4 + k];
        }
    }
    // The scalar rounds' xor of the next P entry is folded into each round.
    for (int r = 0; r < 16; r += 2) {
        for (int n = 0; n < N; ++n)
            Round(t, a[n], b[n], p[r + 1]);
        for (int n = 0; n < N; ++n)
            Round(t, b[n], a[n], p[r + 2]);
    }
    for (int n = 0; n < N; ++n) {
        __m512i v[8];
        for (int k = 0; k < 4; ++k) {
            v[k] = _mm512_xor_si512(b[n].byte[k], _mm512_set1_epi8(static_cast<char>(p[17] >> (8 * k))));
            v[4 + k] = a[n].byte[k];
        }
        TransposeQuadwords(v);
        TransposeBytes(v);
        for (int j = 0; j < 8; ++j)
            _mm512_storeu_si512(data + 512 * n + 64 * j, v[j]);
    }
}

} // namespace

static std::size_t CipherGroups(const RoundTables& tables, bool decrypt, std::uint8_t* data, std::size_t count)
{
    std::uint32_t p[18];
    for (int i = 0; i < 18; ++i)
        p[i] = tables.p[decrypt ? 17 - i : i];
    SlicedTables t;
    for (int k = 0; k < 4; ++k) {
        t.s0[k].Load(tables.planes0[k]);
        t.s2[k].Load(tables.planes2[k]);
    }
    t.low1.Load(tables.low1);
    t.low3.Load(tables.low3);

    const std::size_t groups = count / kWideGroup;
    std::size_t g = 0;
    for (; g + kInFlight <= groups; g += kInFlight, data += 8 * kWideGroup * kInFlight)
        CipherSlabs<kInFlight>(t, p, data);
    for (; g < groups; ++g, data += 8 * kWideGroup)
        CipherSlabs<1>(t, p, data);
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
