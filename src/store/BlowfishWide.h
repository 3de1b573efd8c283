#pragma once

#include <cstddef>
#include <cstdint>

namespace velmora::blowfish {

// What the round function reads: the P-array and the low five bits of S1 and S3 a byte
// each; S0 and S2 as byte planes: plane k of a box holds byte k (from the least
// significant) of each of its 256 words.
struct RoundTables {
    const std::uint32_t* p;
    const std::uint8_t (*planes0)[256];
    const std::uint8_t* low1;
    const std::uint8_t (*planes2)[256];
    const std::uint8_t* low3;
};

// Ciphers the leading blocks of data in groups of kWideGroup with the processor's 512-bit
// instructions when it has them (AVX-512 with byte permutes); returns how many blocks it
// did: a multiple of kWideGroup, 0 on other processors. The caller does the rest one
// block group at a time. decrypt walks the P-array backwards.
inline constexpr std::size_t kWideGroup = 64;
std::size_t CipherWide(const RoundTables& tables, bool decrypt, std::uint8_t* data, std::size_t count);

} // namespace velmora::blowfish
