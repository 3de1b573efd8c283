#include "store/DecryptionStream.h"

#include "store/Blowfish.h"
#include "store/MemoryStream.h"

#include "ReferenceCipher.h"
#include "StreamDoubles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace velmora {
namespace {

using test::BlockwiseDecryptor;
using test::CappedStream;
using test::FailingCipher;

// 24 plaintext bytes whose values are their positions, encrypted under "seek".
struct ThreeBlocks : ::testing::Test {
    std::string plain = [] {
        std::string p;
        for (int i = 0; i < 24; ++i)
            p.push_back(static_cast<char>(i));
        return p;
    }();
    TBlowfish cipher{"seek"};
    MemoryStream inner{test::ReferenceBlowfish("seek").Encrypt(plain)};
    TDecryptionStream decryption{inner, cipher};

    int NextByte()
    {
        unsigned char byte = 0;
        return decryption.Read(&byte, 1) == 1 ? byte : -1;
    }
};

TEST_F(ThreeBlocks, SeekingIntoABlockDiscardsItsFirstBytes)
{
    EXPECT_EQ(decryption.Seek(13, SeekOrigin::Beginning), 13);
    EXPECT_EQ(inner.Position(), 16);
    EXPECT_EQ(NextByte(), 13);
    EXPECT_EQ(NextByte(), 14);
    EXPECT_EQ(decryption.Size(), 24);
    // Measuring the size does not lose the place.
    EXPECT_EQ(decryption.Position(), 15);
    EXPECT_EQ(NextByte(), 15);
}

TEST_F(ThreeBlocks, SeeksFromEveryOrigin)
{
    struct Case {
        std::int64_t first;        // seek from the beginning first
        std::int64_t offset;
        SeekOrigin origin;
        std::int64_t position;     // expected result
        int next;                  // the byte read next, -1 at the end
    };
    const Case cases[] = {
        {0, 0, SeekOrigin::Beginning, 0, 0},   {0, 8, SeekOrigin::Beginning, 8, 8},
        {0, 23, SeekOrigin::Beginning, 23, 23}, {0, 24, SeekOrigin::Beginning, 24, -1},
        {5, 0, SeekOrigin::Current, 5, 5},     {5, 4, SeekOrigin::Current, 9, 9},
        {13, -6, SeekOrigin::Current, 7, 7},   {0, 0, SeekOrigin::End, 24, -1},
        {0, -3, SeekOrigin::End, 21, 21},      {0, -24, SeekOrigin::End, 0, 0},
        // Past the end nothing can be discarded: the position stays at the block start.
        {0, 29, SeekOrigin::Beginning, 24, -1},
    };
    for (const auto& c : cases) {
        decryption.Seek(c.first, SeekOrigin::Beginning);
        EXPECT_EQ(decryption.Seek(c.offset, c.origin), c.position)
            << "from " << c.first << " by " << c.offset << " origin " << static_cast<int>(c.origin);
        EXPECT_EQ(NextByte(), c.next) << "from " << c.first << " by " << c.offset;
    }
}

TEST_F(ThreeBlocks, RefusesAnUnknownOriginAndWriting)
{
    try {
        decryption.Seek(0, static_cast<SeekOrigin>(3));
        ADD_FAILURE() << "seek with origin 3 did not fail";
    } catch (const StreamError& e) {
        EXPECT_STREQ(e.what(), "Invalid seek origin");
    }
    try {
        decryption.Write("x", 1);
        ADD_FAILURE() << "write did not fail";
    } catch (const StreamError& e) {
        EXPECT_STREQ(e.what(), "Cannot write to this type of stream filter [TBasicStreamFilter]");
    }
}

TEST(DecryptionStream, SizeAndContentEndAtTheLastWholeBlock)
{
    const TBlowfish cipher("tail");
    const std::string cipherBytes = test::ReferenceBlowfish("tail").Encrypt("sixteen bytes...") + "abc";
    MemoryStream inner(cipherBytes);
    TDecryptionStream decryption(inner, cipher);
    EXPECT_EQ(decryption.Size(), 16);
    MemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(decryption, 0), 16);
    EXPECT_EQ(copy.Bytes(), "sixteen bytes...");
    char more[8];
    EXPECT_EQ(decryption.Read(more, 8), 0);
}

TEST(DecryptionStream, CopiedWholeGivesThePlaintextWithItsZeroFill)
{
    const TBlowfish cipher("secret");
    MemoryStream inner(test::ReferenceBlowfish("secret").Encrypt("PROPER CIPHER UNLOCKED"));
    TDecryptionStream decryption(inner, cipher);
    MemoryStream plain;
    plain.CopyFrom(decryption, 0);
    EXPECT_EQ(plain.Bytes(), std::string("PROPER CIPHER UNLOCKED\0\0", 24));
}

TEST(DecryptionStream, MatchesTheReferenceForAnyLengthAndReadPattern)
{
    std::mt19937 gen(3);
    for (int round = 0; round < 60; ++round) {
        const std::string key = "key " + std::to_string(round);
        const test::ReferenceBlowfish reference(key);
        // Ciphertext of any length, also with a partial block at the end.
        std::string cipherBytes = reference.Encrypt(test::PatternBytes(round < 30 ? round * 3 : gen() % 150000, round));
        cipherBytes += test::PatternBytes(gen() % 8, round + 1000);
        const std::string expected = reference.Decrypt(cipherBytes);

        const TBlowfish cipher(key);
        MemoryStream inner(cipherBytes);
        TDecryptionStream decryption(inner, cipher);
        std::string out;
        for (;;) {
            const std::size_t piece = (gen() % 4 == 0) ? gen() % 70000 : gen() % 20;
            std::string buffer(piece, '\0');
            const std::int64_t n = decryption.Read(buffer.data(), static_cast<std::int64_t>(piece));
            out.append(buffer, 0, static_cast<std::size_t>(n));
            if (piece > 0 && n < static_cast<std::int64_t>(piece))
                break;
        }
        ASSERT_EQ(out, expected) << "round " << round;
    }
}

TEST(DecryptionStream, StopsWhereABlockAtATimeReadStops)
{
    std::mt19937 gen(11);
    const std::string cipherBytes = test::ReferenceBlowfish("cap").Encrypt(test::PatternBytes(3000, 2)) + "xyz";
    struct Case {
        std::int64_t perCall;
        int failAt;
    };
    const Case cases[] = {{1 << 30, 0}, {8, 0}, {13, 0}, {1 << 30, 1}, {1 << 30, 2}, {1 << 30, 100}, {16, 50}};
    for (const auto& c : cases) {
        CappedStream fastInner(0, c.perCall, cipherBytes);
        CappedStream slowInner(0, c.perCall, cipherBytes);
        FailingCipher fastCipher("cap", c.failAt);
        FailingCipher slowCipher("cap", c.failAt);
        TDecryptionStream fast(fastInner, fastCipher);
        BlockwiseDecryptor slow(slowInner, slowCipher);
        for (int call = 0; call < 60; ++call) {
            const std::size_t piece = 1 + gen() % 300;
            std::string buffer(piece, '\0');
            const std::int64_t n = fast.Read(buffer.data(), static_cast<std::int64_t>(piece));
            ASSERT_EQ(buffer.substr(0, static_cast<std::size_t>(n)), slow.Read(piece))
                << "per call " << c.perCall << " fail at " << c.failAt << " call " << call;
            ASSERT_EQ(fastInner.Position(), slowInner.Position());
        }
    }
}

TEST(DecryptionStream, ReleasesWhatItOwns)
{
    struct Counting : MemoryStream {
        Counting(std::string bytes, int* released) : MemoryStream(std::move(bytes)), released(released) {}
        ~Counting() override { ++*released; }
        int* released;
    };
    int released = 0;
    {
        TDecryptionStream decryption(std::make_unique<Counting>(std::string(16, 'c'), &released),
                                     std::make_unique<TBlowfish>("k"));
        EXPECT_EQ(decryption.Size(), 16);
    }
    EXPECT_EQ(released, 1);
    {
        Counting borrowed(std::string(16, 'c'), &released);
        const TBlowfish cipher("k");
        { TDecryptionStream decryption(borrowed, cipher); }
        EXPECT_EQ(released, 1);
    }
    EXPECT_EQ(released, 2);
}

} // namespace
} // namespace velmora
