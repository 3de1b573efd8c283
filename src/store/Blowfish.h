#pragma once

#include "store/BlowfishTables.h"
#include "store/BlowfishWide.h"
#include "store/Cryptography.h"

#include <array>
#include <cstdint>
#include <string>

namespace velmora {

// The library's block cipher: a Blowfish variant with 8-byte blocks whose halves are
// little-endian words, tables taken from the byte-reversed published ones, a folded
// text key and a round function that adds only the low five bits of S1 and S3.
// Everything stored depends on each of these details.
class TBlowfish : public TCryptography {
public:
    static constexpr int kBlockSize = 8;
    static constexpr int kKeySize = 72;

    // A ready cipher for key (the UTF-8 bytes of a password). An empty key or the
    // default key leaves the tables zero.
    explicit TBlowfish(const std::string& key = {});

    bool EncryptBlock(void* block) const override;
    bool DecryptBlock(void* block) const override;
    std::size_t EncryptBlocks(void* blocks, std::size_t count) const override;
    std::size_t DecryptBlocks(void* blocks, std::size_t count) const override;

    // The Feistel network over one block, taking the P entries from start in steps
    // of step: (0, +1) encrypts, (17, -1) decrypts. EncryptBlock and DecryptBlock
    // compute the same with the rounds unrolled.
    virtual bool CipherBlock(void* block, int start, int step) const;

    // Encrypts the two halves of a block given as words.
    void EncryptWords(std::uint32_t& left, std::uint32_t& right) const;

    const std::array<std::uint32_t, blowfish::kPWords>& PArray() const { return m_p; }
    const std::array<std::uint32_t, blowfish::kSBoxWords>& SBox(int i) const { return m_s[i]; }

protected:
    void ExpandKey() override;
    void ClearTables() override;

private:
    // The low five bits of S1 and S3, all the round function takes of them, a byte each;
    // and S0 and S2 as byte planes for the wide rounds.
    void PackTables();
    blowfish::RoundTables WideTables() const;

    std::array<std::uint32_t, blowfish::kPWords> m_p{};
    std::array<std::array<std::uint32_t, blowfish::kSBoxWords>, blowfish::kSBoxes> m_s{};
    std::array<std::uint8_t, blowfish::kSBoxWords> m_low1{};
    std::array<std::uint8_t, blowfish::kSBoxWords> m_low3{};
    std::uint8_t m_planes0[4][blowfish::kSBoxWords]{};
    std::uint8_t m_planes2[4][blowfish::kSBoxWords]{};
};

} // namespace velmora
