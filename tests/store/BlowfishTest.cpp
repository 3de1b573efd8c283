#include "store/Blowfish.h"
#include "store/BlowfishTables.h"

#include "ReferenceCipher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace velmora {
namespace {

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

std::string Unhex(const std::string& hex)
{
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::uint32_t Reversed(std::uint32_t w)
{
    return (w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000) | (w << 24);
}

std::string RandomBytes(std::mt19937& gen, std::size_t count)
{
    std::string bytes(count, '\0');
    for (auto& b : bytes)
        b = static_cast<char>(gen() & 255);
    return bytes;
}

std::string EncryptBlockOf(const TBlowfish& cipher, std::string block)
{
    EXPECT_TRUE(cipher.EncryptBlock(block.data()));
    return block;
}

// Published Blowfish (big-endian halves, whole S1/S3 in the sum, key bytes cycled
// big-endian into P) built on the byte-reversed tables. Its known answers pin every
// one of the 4168 table bytes, since each takes part in the key set-up.
class PublishedBlowfish {
public:
    explicit PublishedBlowfish(const std::string& key)
    {
        for (int i = 0; i < 18; ++i)
            m_p[i] = Reversed(blowfish::kInitialP[i]);
        for (int b = 0; b < 4; ++b)
            for (int j = 0; j < 256; ++j)
                m_s[b][j] = Reversed(blowfish::kInitialS[b][j]);
        std::size_t k = 0;
        for (int i = 0; i < 18; ++i) {
            std::uint32_t d = 0;
            for (int n = 0; n < 4; ++n, k = (k + 1) % key.size())
                d = (d << 8) | static_cast<unsigned char>(key[k]);
            m_p[i] ^= d;
        }
        std::uint32_t l = 0, r = 0;
        for (int i = 0; i < 18; i += 2) {
            Encrypt(l, r);
            m_p[i] = l;
            m_p[i + 1] = r;
        }
        for (auto& box : m_s)
            for (int j = 0; j < 256; j += 2) {
                Encrypt(l, r);
                box[j] = l;
                box[j + 1] = r;
            }
    }

    void Encrypt(std::uint32_t& l, std::uint32_t& r) const
    {
        for (int i = 0; i < 16; ++i) {
            l ^= m_p[i];
            r ^= ((m_s[0][l >> 24] + m_s[1][(l >> 16) & 255]) ^ m_s[2][(l >> 8) & 255]) + m_s[3][l & 255];
            std::swap(l, r);
        }
        std::swap(l, r);
        r ^= m_p[16];
        l ^= m_p[17];
    }

private:
    std::uint32_t m_p[18];
    std::uint32_t m_s[4][256];
};

TEST(BlowfishTables, AreThePublishedPiTablesWithReversedBytes)
{
    EXPECT_EQ(sizeof blowfish::kInitialP + sizeof blowfish::kInitialS, 4168u);
    EXPECT_EQ(blowfish::kInitialP[0], 0x886A3F24u);
    EXPECT_EQ(blowfish::kInitialS[3][255], 0xE672C33Au);
    // A few more published values, as printed in the algorithm's description.
    EXPECT_EQ(Reversed(blowfish::kInitialP[1]), 0x85A308D3u);
    EXPECT_EQ(Reversed(blowfish::kInitialP[17]), 0x8979FB1Bu);
    EXPECT_EQ(Reversed(blowfish::kInitialS[0][0]), 0xD1310BA6u);
    EXPECT_EQ(Reversed(blowfish::kInitialS[0][255]), 0x6E85076Au);
    EXPECT_EQ(Reversed(blowfish::kInitialS[1][0]), 0x4B7A70E9u);
    EXPECT_EQ(Reversed(blowfish::kInitialS[2][0]), 0xE93D5A68u);
    EXPECT_EQ(Reversed(blowfish::kInitialS[3][0]), 0x3A39CE37u);
}

TEST(BlowfishTables, GivePublishedBlowfishItsKnownAnswers)
{
    struct Case {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    // Published Blowfish test vectors (8-byte keys, big-endian blocks).
    const Case cases[] = {
        {"0000000000000000", "0000000000000000", "4ef997456198dd78"},
        {"ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"},
        {"3000000000000000", "1000000000000001", "7d856f9a613063f2"},
        {"0123456789abcdef", "1111111111111111", "61f9c3802281b096"},
        {"fedcba9876543210", "0123456789abcdef", "0aceab0fc6a0a28d"},
    };
    for (const auto& c : cases) {
        PublishedBlowfish published(Unhex(c.key));
        const std::string plain = Unhex(c.plain);
        std::uint32_t l = 0, r = 0;
        for (int i = 0; i < 4; ++i) {
            l = (l << 8) | static_cast<unsigned char>(plain[i]);
            r = (r << 8) | static_cast<unsigned char>(plain[4 + i]);
        }
        published.Encrypt(l, r);
        char out[17];
        std::snprintf(out, sizeof out, "%08x%08x", l, r);
        EXPECT_EQ(std::string(out), c.cipher) << "key " << c.key;
    }
}

TEST(Blowfish, DescribesItself)
{
    const TBlowfish cipher("secret");
    EXPECT_EQ(cipher.Name(), "Blowfish");
    EXPECT_EQ(cipher.BlockSize(), 8);
    EXPECT_EQ(cipher.KeySize(), 72);
    EXPECT_EQ(cipher.CurrentKey(), "secret");
}

// Known answers of the variant, computed once with an independent Python rendering
// of the cipher (written from the same rules as ReferenceCipher.h, sharing no code)
// and cross-checked against velmora-tool's output.
TEST(Blowfish, KnownAnswers)
{
    struct Case {
        std::string key;
        std::string plain;
        const char* cipher;
    };
    const Case cases[] = {
        {"secret", "PROPER CIPHER UNLOCKED", "02fa1774d607205337e9e98f7aebfd7fca0bb905d45b728c"},
        {"Velmora", Unhex("000102030405060708090a0b0c0d0e0f"), "1a3d779f36f9f560d16fa3cb72c974ef"},
        {std::string(73, 'A') + "xyz", "PROPER CIPHER UNLOCKED",
         "fb00f2d601a5e57e498469465f580fee904fee57be6f758a"},
        {"p\xc3\xa4ssw\xc3\xb6rd", "0123456789abcdef", "6983471f57890b024f6b7d0d3a8ecd7a"},
    };
    for (const auto& c : cases) {
        const TBlowfish cipher(c.key);
        std::string data = c.plain;
        data.resize((data.size() + 7) / 8 * 8, '\0');
        for (std::size_t i = 0; i < data.size(); i += 8)
            cipher.EncryptBlock(data.data() + i);
        EXPECT_EQ(Hex(data), c.cipher) << "key " << c.key;
        for (std::size_t i = 0; i < data.size(); i += 8)
            cipher.DecryptBlock(data.data() + i);
        EXPECT_EQ(data.substr(0, c.plain.size()), c.plain);
    }
    EXPECT_EQ(TBlowfish("secret").PArray()[0], 0x47950bc6u);
    EXPECT_EQ(TBlowfish("secret").SBox(3)[255], 0x9efc4a80u);
}

TEST(Blowfish, EmptyAndDefaultKeysLeaveZeroTablesThatOnlySwapTheHalves)
{
    for (const std::string key : {"", "zerkat"}) {
        const TBlowfish cipher(key);
        for (auto w : cipher.PArray())
            EXPECT_EQ(w, 0u) << "key '" << key << "'";
        for (int b = 0; b < 4; ++b)
            for (auto w : cipher.SBox(b))
                ASSERT_EQ(w, 0u) << "key '" << key << "'";
        for (auto byte : cipher.KeyBuffer())
            ASSERT_EQ(byte, 0) << "key '" << key << "'";
        EXPECT_EQ(EncryptBlockOf(cipher, "ABCDefgh"), "efghABCD") << "key '" << key << "'";
        std::string block = "efghABCD";
        cipher.DecryptBlock(block.data());
        EXPECT_EQ(block, "ABCDefgh");
    }
    // Case matters: only the exact default key is special.
    EXPECT_NE(EncryptBlockOf(TBlowfish("Zerkat"), "ABCDefgh"), "efghABCD");
}

TEST(Blowfish, KeysDifferingOnlyAfterTheBufferLengthGiveDifferentTables)
{
    const std::string head(72, 'k');
    const TBlowfish a(head + "1");
    const TBlowfish b(head + "2");
    const TBlowfish c(head);
    EXPECT_NE(a.PArray(), b.PArray());
    EXPECT_NE(a.SBox(0), b.SBox(0));
    EXPECT_NE(a.PArray(), c.PArray());
    EXPECT_NE(EncryptBlockOf(a, "12345678"), EncryptBlockOf(b, "12345678"));
}

TEST(Blowfish, MatchesTheReferenceOnRandomKeysAndData)
{
    std::mt19937 gen(20240611);
    const std::size_t keyLengths[] = {1, 2, 3, 5, 7, 8, 16, 56, 71, 72, 73, 100, 143, 144, 145, 300};
    for (std::size_t keyLength : keyLengths) {
        for (int round = 0; round < 3; ++round) {
            const std::string key = RandomBytes(gen, keyLength);
            const TBlowfish cipher(key);
            const test::ReferenceBlowfish reference(key);
            ASSERT_EQ(std::memcmp(cipher.PArray().data(), reference.P, sizeof reference.P), 0)
                << "key length " << keyLength;
            for (int b = 0; b < 4; ++b)
                ASSERT_EQ(std::memcmp(cipher.SBox(b).data(), reference.S[b], sizeof reference.S[b]), 0);
            for (int i = 0; i < 18; ++i) {
                const auto& kb = cipher.KeyBuffer();
                const std::uint32_t word = kb[4 * i] | kb[4 * i + 1] << 8 | kb[4 * i + 2] << 16 |
                                           static_cast<std::uint32_t>(kb[4 * i + 3]) << 24;
                ASSERT_EQ(word, reference.B[i]);
            }

            // Bulk runs of every length up to a few interleaved groups, around the wide
            // groups of 64 blocks (byte-sliced where the processor can, two side by side
            // when there are two) and what is left after them, at an odd address too;
            // and single blocks.
            for (std::size_t blocks : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 33u, 63u, 64u, 65u, 127u, 128u, 192u, 257u, 1000u}) {
                const std::string plain = RandomBytes(gen, 8 * blocks);
                std::string bulk = plain;
                EXPECT_EQ(cipher.EncryptBlocks(bulk.data(), blocks), blocks);
                ASSERT_EQ(bulk, reference.Encrypt(plain)) << "key length " << keyLength << ", blocks " << blocks;
                std::string shifted = "x" + plain;
                cipher.EncryptBlocks(shifted.data() + 1, blocks);
                ASSERT_EQ(shifted.substr(1), bulk);
                cipher.DecryptBlocks(shifted.data() + 1, blocks);
                ASSERT_EQ(shifted.substr(1), plain);
                std::string single = plain;
                for (std::size_t i = 0; i < blocks; ++i)
                    cipher.EncryptBlock(single.data() + 8 * i);
                ASSERT_EQ(single, bulk);
                EXPECT_EQ(cipher.DecryptBlocks(bulk.data(), blocks), blocks);
                ASSERT_EQ(bulk, plain);
                for (std::size_t i = 0; i < blocks; ++i)
                    cipher.DecryptBlock(single.data() + 8 * i);
                ASSERT_EQ(single, plain);
            }
        }
    }
}

TEST(Blowfish, CipherBlockWithStartAndStepIsEncryptAndDecrypt)
{
    std::mt19937 gen(7);
    const TBlowfish cipher("step by step");
    for (int i = 0; i < 50; ++i) {
        const std::string plain = RandomBytes(gen, 8);
        std::string viaCipherBlock = plain;
        cipher.CipherBlock(viaCipherBlock.data(), 0, +1);
        EXPECT_EQ(viaCipherBlock, EncryptBlockOf(cipher, plain));
        cipher.CipherBlock(viaCipherBlock.data(), 17, -1);
        EXPECT_EQ(viaCipherBlock, plain);
    }
}

TEST(Blowfish, EncryptWordsIsEncryptBlockOnLittleEndianHalves)
{
    const TBlowfish cipher("words");
    std::uint32_t left = 0x03020100, right = 0x07060504;
    cipher.EncryptWords(left, right);
    std::string block = Unhex("0001020304050607");
    cipher.EncryptBlock(block.data());
    EXPECT_EQ(Hex(block), Hex(Unhex([&] {
                  char text[17];
                  std::snprintf(text, sizeof text, "%08x%08x", Reversed(left), Reversed(right));
                  return std::string(text);
              }())));
}

} // namespace
} // namespace velmora
