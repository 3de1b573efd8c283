#pragma once

// A plain, block-at-a-time rendering of the cipher, written for readability rather
// than speed, against which the optimised implementation is compared. It shares
// only the initial tables with it, and those are checked separately against
// published Blowfish answers.

#include "store/BlowfishTables.h"

#include <cstdint>
#include <string>
#include <utility>

namespace velmora::test {

class ReferenceBlowfish {
public:
    explicit ReferenceBlowfish(const std::string& key)
    {
        // The default key, like no key at all, leaves the tables zero.
        if (!key.empty() && key != "zerkat") {
            Fold(key);
            Expand();
        }
    }

    std::uint32_t B[18] = {};
    std::uint32_t P[18] = {};
    std::uint32_t S[4][256] = {};

    void Cipher(std::uint32_t& left, std::uint32_t& right, int start, int step) const
    {
        std::uint32_t x = left;
        std::uint32_t y = right;
        int k = start;
        for (int round = 0; round < 16; ++round) {
            x = x ^ P[k];
            k = k + step;
            y = y ^ F(x);
            std::swap(x, y);
        }
        std::swap(x, y);
        y = y ^ P[k];
        k = k + step;
        x = x ^ P[k];
        left = x;
        right = y;
    }

    // One 8-byte block, halves little-endian.
    std::string CipherBlock(const std::string& block, bool decrypt) const
    {
        std::uint32_t left = Word(block, 0);
        std::uint32_t right = Word(block, 4);
        if (decrypt)
            Cipher(left, right, 17, -1);
        else
            Cipher(left, right, 0, +1);
        std::string out(8, '\0');
        for (int i = 0; i < 4; ++i) {
            out[i] = static_cast<char>((left >> (8 * i)) & 255);
            out[4 + i] = static_cast<char>((right >> (8 * i)) & 255);
        }
        return out;
    }

    // The cipher stream: blocks of 8, the last filled up with zero bytes.
    std::string Encrypt(std::string plain) const
    {
        while (plain.size() % 8 != 0)
            plain.push_back('\0');
        std::string out;
        for (std::size_t i = 0; i < plain.size(); i += 8)
            out += CipherBlock(plain.substr(i, 8), false);
        return out;
    }

    // Every whole block decrypted; bytes after the last whole block are ignored.
    std::string Decrypt(const std::string& cipher) const
    {
        std::string out;
        for (std::size_t i = 0; i + 8 <= cipher.size(); i += 8)
            out += CipherBlock(cipher.substr(i, 8), true);
        return out;
    }

private:
    static std::uint32_t Word(const std::string& bytes, std::size_t at)
    {
        std::uint32_t w = 0;
        for (int i = 3; i >= 0; --i)
            w = (w << 8) | static_cast<unsigned char>(bytes[at + i]);
        return w;
    }

    static std::uint32_t RotateLeft(std::uint32_t v, unsigned n)
    {
        return n == 0 ? v : (v << n) | (v >> (32 - n));
    }

    std::uint32_t F(std::uint32_t x) const
    {
        const unsigned a = x >> 24;
        const unsigned b = (x >> 16) & 255;
        const unsigned c = (x >> 8) & 255;
        const unsigned d = x & 255;
        return ((S[0][a] + (S[1][b] % 32)) ^ S[2][c]) + (S[3][d] % 32);
    }

    void Fold(const std::string& key)
    {
        // Extend by appending the string's own characters from the first on.
        std::string extended = key;
        std::size_t next = 0;
        while (extended.size() % 72 != 0) {
            extended.push_back(extended[next]);
            ++next;
        }
        for (std::size_t j = 0; 4 * j < extended.size(); ++j) {
            const std::uint32_t w = Word(extended, 4 * j);
            const std::size_t i = j % 18;
            B[i] = RotateLeft(B[i], w % 32) ^ w;
        }
    }

    void Expand()
    {
        for (int i = 0; i < 18; ++i)
            P[i] = blowfish::kInitialP[i];
        for (int box = 0; box < 4; ++box)
            for (int j = 0; j < 256; ++j)
                S[box][j] = blowfish::kInitialS[box][j];
        for (int i = 0; i < 18; ++i)
            P[i] = P[i] ^ B[i];
        std::uint32_t left = 0;
        std::uint32_t right = 0;
        for (int i = 0; i <= 16; i += 2) {
            Cipher(left, right, 0, +1);
            P[i] = left;
            P[i + 1] = right;
        }
        for (int box = 0; box < 4; ++box) {
            for (int j = 0; j <= 254; j += 2) {
                Cipher(left, right, 0, +1);
                S[box][j] = left;
                S[box][j + 1] = right;
            }
        }
    }
};

} // namespace velmora::test
