#include "store/EncryptionStream.h"

#include "store/Blowfish.h"
#include "store/MemoryStream.h"

#include "ReferenceCipher.h"
#include "StreamDoubles.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>

namespace velmora {
namespace {

using test::BlockwiseEncryptor;
using test::CappedStream;
using test::FailingCipher;

std::string Encrypt(const std::string& key, const std::string& plain)
{
    const TBlowfish cipher(key);
    MemoryStream target;
    {
        TEncryptionStream encryption(target, cipher);
        EXPECT_EQ(encryption.Write(plain.data(), static_cast<std::int64_t>(plain.size())),
                  static_cast<std::int64_t>(plain.size()));
    }
    return target.Bytes();
}

TEST(EncryptionStream, LengthIsRoundedUpToWholeBlocks)
{
    struct Case {
        std::size_t plain;
        std::size_t cipher;
    };
    const Case cases[] = {{0, 0}, {1, 8}, {7, 8}, {8, 8}, {9, 16}, {22, 24}, {24, 24}, {500000, 500000}};
    for (const auto& c : cases)
        EXPECT_EQ(Encrypt("key", std::string(c.plain, 'p')).size(), c.cipher) << c.plain << " bytes";
}

TEST(EncryptionStream, CheckTextGivesThreeBlocksThatDecryptWithZeroFill)
{
    const std::string cipherBytes = Encrypt("secret", "PROPER CIPHER UNLOCKED");
    ASSERT_EQ(cipherBytes.size(), 24u);
    const test::ReferenceBlowfish reference("secret");
    EXPECT_EQ(reference.Decrypt(cipherBytes), std::string("PROPER CIPHER UNLOCKED\0\0", 24));
}

TEST(EncryptionStream, MatchesTheReferenceForAnyLengthAndWritePattern)
{
    std::mt19937 gen(99);
    for (int round = 0; round < 60; ++round) {
        std::string key(1 + gen() % 90, '\0');
        for (auto& c : key)
            c = static_cast<char>(gen() & 255);
        const std::size_t length = round < 20 ? round : gen() % 200000;
        const std::string plain = test::PatternBytes(length, round);

        const TBlowfish cipher(key);
        MemoryStream target;
        {
            TEncryptionStream encryption(target, cipher);
            std::size_t at = 0;
            while (at < length) {
                // Pieces from single bytes to many blocks, crossing block boundaries.
                const std::size_t piece = std::min<std::size_t>(length - at, (gen() % 4 == 0) ? gen() % 70000 : gen() % 20);
                ASSERT_EQ(encryption.Write(plain.data() + at, static_cast<std::int64_t>(piece)),
                          static_cast<std::int64_t>(piece));
                at += piece;
            }
        }
        ASSERT_EQ(target.Bytes(), test::ReferenceBlowfish(key).Encrypt(plain)) << "length " << length;
    }
}

TEST(EncryptionStream, FinishWritesTheLastBlockOnceAndTheDestructorAddsNothing)
{
    const TBlowfish cipher("k");
    MemoryStream target;
    {
        TEncryptionStream encryption(target, cipher);
        encryption.WriteBuffer("abc", 3);
        EXPECT_EQ(target.Size(), 0);
        encryption.Finish();
        EXPECT_EQ(target.Size(), 8);
        encryption.Finish();
    }
    EXPECT_EQ(target.Bytes(), test::ReferenceBlowfish("k").Encrypt("abc"));
}

TEST(EncryptionStream, ReleasesWhatItOwnsAfterWritingTheLastBlock)
{
    // The inner stream reports its content when it is released.
    struct Reporting : MemoryStream {
        explicit Reporting(std::string* out) : out(out) {}
        ~Reporting() override { *out = Bytes(); }
        std::string* out;
    };
    std::string released;
    {
        TEncryptionStream encryption(std::make_unique<Reporting>(&released), std::make_unique<TBlowfish>("owned"));
        EXPECT_TRUE(encryption.OwnsInner());
        EXPECT_TRUE(encryption.OwnsCipher());
        encryption.WriteBuffer("0123456789", 10);
    }
    EXPECT_EQ(released, test::ReferenceBlowfish("owned").Encrypt("0123456789"));
}

TEST(EncryptionStream, StopsWhereABlockAtATimeWriteStops)
{
    std::mt19937 gen(5);
    const std::string plain = test::PatternBytes(5000, 1);
    struct Case {
        std::int64_t capacity;
        std::int64_t perCall;
        int failAt;   // block whose encryption fails, 0 for none
    };
    const Case cases[] = {
        {0, 1 << 30, 0},  {5, 1 << 30, 0},   {8, 1 << 30, 0},    {20, 1 << 30, 0},  {24, 1 << 30, 0},
        {4000, 1 << 30, 0}, {4001, 1 << 30, 0}, {1 << 30, 13, 0}, {1 << 30, 8, 0},  {1 << 30, 1 << 30, 1},
        {1 << 30, 1 << 30, 3}, {1 << 30, 1 << 30, 400}, {100, 1 << 30, 20}, {100, 1 << 30, 5},
    };
    for (const auto& c : cases) {
        CappedStream fastInner(c.capacity, c.perCall);
        CappedStream slowInner(c.capacity, c.perCall);
        FailingCipher fastCipher("cap", c.failAt);
        FailingCipher slowCipher("cap", c.failAt);
        TEncryptionStream fast(fastInner, fastCipher);
        BlockwiseEncryptor slow(slowInner, slowCipher);
        std::size_t at = 0;
        while (at < plain.size()) {
            const std::size_t piece = std::min<std::size_t>(plain.size() - at, 1 + gen() % 700);
            const std::string part = plain.substr(at, piece);
            ASSERT_EQ(fast.Write(part.data(), static_cast<std::int64_t>(part.size())), slow.Write(part))
                << "capacity " << c.capacity << " per call " << c.perCall << " fail at " << c.failAt
                << " offset " << at;
            at += piece;
        }
        EXPECT_EQ(fastInner.Bytes(), slowInner.Bytes()) << "capacity " << c.capacity;
    }
}

TEST(EncryptionStream, FinishReportsALastBlockThatCannotBeWritten)
{
    const TBlowfish cipher("k");
    CappedStream full(8);
    TEncryptionStream encryption(full, cipher);
    encryption.WriteBuffer("0123456789", 10);
    EXPECT_THROW(encryption.Finish(), StreamError);
}

TEST(EncryptionStream, CannotBeReadOrMoved)
{
    const TBlowfish cipher("k");
    MemoryStream target;
    TEncryptionStream encryption(target, cipher);
    char byte = 0;
    struct Case {
        const char* what;
        std::function<void()> call;
        const char* message;
    };
    const Case cases[] = {
        {"read", [&] { encryption.Read(&byte, 1); },
         "Cannot read from this type of stream filter [TBasicStreamFilter]"},
        {"seek", [&] { encryption.Seek(0, SeekOrigin::Beginning); },
         "Cannot seek on this type of stream filter [TBasicStreamFilter]"},
        {"position", [&] { encryption.Position(); },
         "Cannot seek on this type of stream filter [TBasicStreamFilter]"},
    };
    for (const auto& c : cases) {
        try {
            c.call();
            ADD_FAILURE() << c.what << " did not fail";
        } catch (const StreamError& e) {
            EXPECT_STREQ(e.what(), c.message) << c.what;
        }
    }
}

} // namespace
} // namespace velmora
