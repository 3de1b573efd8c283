#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora::blowfish {

// What the round function reads: the P-array, S0 and S2 whole, and the low five bits of
// S1 and S3 a byte each.
struct RoundTables {
    const std::uint32_t* p;
    const std::uint32_t* s0;
    const std::uint8_t* low1;
    const std::uint32_t* s2;
    const std::uint8_t* low3;
};

// Ciphers the leading blocks of data in groups of kWideGroup with the processor's 512-bit
// instructions, 16 blocks to a register, when it has them (AVX-512 with byte permutes);
// returns how many blocks it did: a multiple of kWideGroup, 0 on other processors. The
// caller does the rest one block group at a time. decrypt walks the P-array backwards.
inline constexpr std::size_t kWideGroup = 64;
std::size_t CipherWide(const RoundTables& tables, bool decrypt, std::uint8_t* data, std::size_t count);

} // namespace velmora::blowfish
