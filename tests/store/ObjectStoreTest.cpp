#include "support/LibraryFixture.h"

#include "dialogs/ProgressRoutines.h"
#include "store/AddItemOnThread.h"
#include "store/Blowfish.h"
#include "store/DatabaseError.h"
#include "store/ItemRemoval.h"
#include "store/LibraryCheck.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <thread>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using ::testing::IsEmpty;

class ObjectStoreTest : public LibraryFixture {
protected:
    ObjectStore& store() { return ObjectStore::ForThisThread(); }
    std::int64_t FreeSpace(int storeNo)
    {
        return Scalar(SqlFormat("Select st_freespace from [space] where st_num = %d", storeNo));
    }
    std::int64_t ChunkLength(int storeNo, int id, int chunk)
    {
        return StoreScalar(storeNo, SqlFormat("Select length(ro_data) from recobject where ro_record = %d "
                                              "and ro_chunk = %d", id, chunk));
    }
    std::int64_t NextStore(int storeNo, int id, int chunk)
    {
        return StoreScalar(storeNo, SqlFormat("Select ro_nextstore from recobject where ro_record = %d "
                                              "and ro_chunk = %d", id, chunk));
    }
};

// Counts the steps an operation reports.
class CountingProgress : public NullProgress {
public:
    void StepItemProgress() override { ++itemSteps; }
    int itemSteps = 0;
};

TEST_F(ObjectStoreTest, FirstItemMakesStoreOneFromTheTemplate)
{
    const int id = AddItem("ten bytes!");
    EXPECT_TRUE(fs::exists(dir / "tnstore1.mdb"));
    EXPECT_EQ(Scalar("Select count(*) from [space]"), 1);
    EXPECT_EQ(FreeSpace(1), 1887436800 - 500000);
    EXPECT_EQ(Scalar(SqlFormat("Select rec_objstore from Record where rec_ident = %d", id)), 1);
    EXPECT_EQ(Scalar(SqlFormat("Select rec_size from Record where rec_ident = %d", id)), 10);
    EXPECT_EQ(NextStore(1, id, 1), -1);
    EXPECT_EQ(ChunkLength(1, id, 1), 16);
    EXPECT_EQ(ReadItem(id), "ten bytes!");
}

struct ChunkLayoutCase {
    std::int64_t size;
    int chunks;
    std::int64_t lastCipherLength;
};

class ChunkLayoutTest : public ObjectStoreTest, public ::testing::WithParamInterface<ChunkLayoutCase> {};

TEST_P(ChunkLayoutTest, ChunksAreCutAt500000AndTheLastIsPaddedToABlock)
{
    const auto c = GetParam();
    const std::string content = PatternBytes(static_cast<std::size_t>(c.size), 7);
    const int id = AddItem(content);
    EXPECT_EQ(StoreScalar(1, SqlFormat("Select count(*) from recobject where ro_record = %d", id)), c.chunks);
    for (int chunk = 1; chunk < c.chunks; ++chunk) {
        EXPECT_EQ(ChunkLength(1, id, chunk), 500000);
        EXPECT_EQ(NextStore(1, id, chunk), 1);
    }
    EXPECT_EQ(ChunkLength(1, id, c.chunks), c.lastCipherLength);
    EXPECT_EQ(NextStore(1, id, c.chunks), -1);
    EXPECT_EQ(FreeSpace(1), 1887436800 - 500000LL * c.chunks);
    EXPECT_EQ(ReadItem(id), content);
    EXPECT_THAT(CheckLibrary(store()), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChunkLayoutTest,
                         ::testing::Values(ChunkLayoutCase{0, 1, 0}, ChunkLayoutCase{1, 1, 8},
                                           ChunkLayoutCase{500000, 1, 500000},
                                           ChunkLayoutCase{500001, 2, 8},
                                           ChunkLayoutCase{1000001, 3, 8},
                                           ChunkLayoutCase{1234567, 3, 234568}));

TEST_F(ObjectStoreTest, AFullStoreRollsOverToANewOneAndTheChainFollows)
{
    AddItem("x");   // makes store 1
    // 3773 chunks placed leave 936800: one more fits, the next does not.
    ExecuteMain("Update [space] set st_freespace = 936800 where st_num = 1");
    const std::string content = PatternBytes(1000000, 3);
    const int id = AddItem(content);
    EXPECT_EQ(FreeSpace(1), 436800);
    EXPECT_EQ(FreeSpace(2), 1887436800 - 500000);
    EXPECT_TRUE(fs::exists(dir / "tnstore2.mdb"));
    EXPECT_EQ(NextStore(1, id, 1), 2);
    EXPECT_EQ(NextStore(2, id, 2), -1);
    EXPECT_EQ(ReadItem(id), content);
}

TEST_F(ObjectStoreTest, FreeingCreditsEveryChunkAndDeletesExactlyItsRows)
{
    const int keep = AddItem(PatternBytes(700000, 1));
    const int id = AddItem(PatternBytes(1000001, 2));
    ASSERT_EQ(FreeSpace(1), 1887436800 - 500000LL * 5);
    CountingProgress progress;
    ASSERT_TRUE(BeginItemRemoval(store().MainConnection(), id));
    FinishItemRemoval(store().MainConnection(), store(), id, progress);
    EXPECT_EQ(progress.itemSteps, 3);
    EXPECT_EQ(FreeSpace(1), 1887436800 - 500000LL * 2);
    EXPECT_EQ(StoreScalar(1, SqlFormat("Select count(*) from recobject where ro_record = %d", id)), 0);
    EXPECT_EQ(StoreScalar(1, "Select count(*) from recobject"), 2);
    EXPECT_EQ(ReadItem(keep), PatternBytes(700000, 1));
}

TEST_F(ObjectStoreTest, ReencryptionKeepsLengthsAndChainAndReadsUnderTheNewKey)
{
    const std::string content = PatternBytes(1000001, 4);
    const int id = AddItem(content);
    const TBlowfish oldCipher(kPassword);
    const TBlowfish newCipher("another key");
    int chunkNo = 1;
    int storeNo = 1;
    int chunks = 0;
    while (store().ReencryptObjectChunk(oldCipher, newCipher, 1, id, chunkNo, storeNo))
        ++chunks;
    EXPECT_EQ(chunks, 3);
    EXPECT_EQ(ChunkLength(1, id, 1), 500000);
    EXPECT_EQ(ChunkLength(1, id, 3), 8);
    EXPECT_EQ(NextStore(1, id, 2), 1);
    EXPECT_EQ(NextStore(1, id, 3), -1);
    SetLibraryPassword("another key", 1);
    EXPECT_EQ(ReadItem(id), content);
}

TEST_F(ObjectStoreTest, ReadingFromTheEndOfAChainTouchesNoFile)
{
    SetDataDir((dir / "no such folder").string());
    MemoryStream out;
    int chunkNo = 1;
    int storeNo = kEndOfChain;
    EXPECT_FALSE(store().ReadObjectChunk(out, 1, chunkNo, storeNo));
    EXPECT_EQ(chunkNo, 1);
    EXPECT_EQ(out.Size(), 0);
}

// A source that fails after delivering limit bytes, like a file on a vanishing disk.
class FailingStream : public MemoryStream {
public:
    FailingStream(const std::string& bytes, std::int64_t limit) : m_limit(limit)
    {
        WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        SetPosition(0);
    }
    std::int64_t Read(void* buffer, std::int64_t count) override
    {
        if (Position() + count > m_limit)
            throw StreamError("read error");
        return MemoryStream::Read(buffer, count);
    }

private:
    std::int64_t m_limit;
};

TEST_F(ObjectStoreTest, AFailedAddLeavesNothingBehind)
{
    const int kept = AddItem(PatternBytes(600000, 9));
    for (std::int64_t failAt : {100LL, 700000LL, 1200000LL}) {
        SCOPED_TRACE(failAt);
        FailingStream source(PatternBytes(1500000, 5), failAt);
        EXPECT_FALSE(AddItemOnThread(std::nullopt, source, "broken.mpg", -1, "broken.mpg"));
        EXPECT_EQ(Scalar("Select count(*) from Record"), 1);
        EXPECT_EQ(Scalar("Select count(*) from pendingadd"), 0);
        EXPECT_EQ(StoreScalar(1, "Select count(*) from recobject"), 2);
        EXPECT_EQ(FreeSpace(1), 1887436800 - 500000LL * 2);
        EXPECT_THAT(CheckLibrary(store()), IsEmpty());
    }
    EXPECT_EQ(ReadItem(kept), PatternBytes(600000, 9));
}

TEST_F(ObjectStoreTest, AStoreFileThatCannotBeMadeLeavesNoSpaceRow)
{
    fs::create_directory(dir / "tnstore1.mdb.new");   // the copy cannot be written
    MemoryStream source;
    source.WriteBuffer("abc", 3);
    source.SetPosition(0);
    EXPECT_FALSE(AddItemOnThread(std::nullopt, source, "a.jpg", -1, "a.jpg"));
    EXPECT_EQ(Scalar("Select count(*) from [space]"), 0);
    EXPECT_EQ(Scalar("Select count(*) from Record"), 0);
    fs::remove(dir / "tnstore1.mdb.new");
    const int id = AddItem("abc");
    EXPECT_EQ(ReadItem(id), "abc");
    EXPECT_EQ(FreeSpace(1), 1887436800 - 500000);
}

TEST_F(ObjectStoreTest, NoContentIsStoredUnderAnEmptyKey)
{
    SetLibraryPassword({}, 0);
    MemoryStream source;
    source.WriteBuffer("abc", 3);
    source.SetPosition(0);
    EXPECT_FALSE(AddItemOnThread(std::nullopt, source, "a.jpg", -1, "a.jpg"));
    EXPECT_EQ(Scalar("Select count(*) from Record"), 0);
}

TEST_F(ObjectStoreTest, TwoThreadsAddingAtOnceNeverShareSpace)
{
    constexpr int kPerThread = 50;
    auto adder = [](unsigned seed) {
        for (int i = 0; i < kPerThread; ++i) {
            const std::string content = PatternBytes(static_cast<std::size_t>(1000 + (i % 5) * 260000), seed + i);
            MemoryStream source;
            source.WriteBuffer(content.data(), static_cast<std::int64_t>(content.size()));
            source.SetPosition(0);
            ASSERT_TRUE(AddItemOnThread(std::nullopt, source, "t.wav", -1, std::to_string(seed + i)));
        }
        ObjectStore::ForThisThread().Close();
    };
    std::thread a(adder, 1000u);
    std::thread b(adder, 2000u);
    a.join();
    b.join();
    EXPECT_EQ(Scalar("Select count(*) from Record"), 2 * kPerThread);
    db::Query items(store().MainConnection(), "Select rec_ident, rec_description from Record");
    for (; !items.Eof(); items.Next()) {
        const unsigned seed = static_cast<unsigned>(std::stoul(items.AsString("rec_description")));
        const int i = static_cast<int>(seed % 1000);
        EXPECT_EQ(ReadItem(static_cast<int>(items.AsInteger("rec_ident"))),
                  PatternBytes(static_cast<std::size_t>(1000 + (i % 5) * 260000), seed));
    }
    EXPECT_THAT(CheckLibrary(store()), IsEmpty());
}

TEST_F(ObjectStoreTest, DamagedStoresGiveClearErrorsOrShortItems)
{
    const std::string content = PatternBytes(1200000, 8);
    const int id = AddItem(content);

    // A broken chain: the item reads short and the check names it.
    store().StoreConnection(1).Execute(SqlFormat("Delete from recobject where ro_record = %d and ro_chunk = 2", id));
    EXPECT_EQ(ReadItem(id), content.substr(0, 500000));
    const auto problems = CheckLibrary(store());
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find("chunk 2 is missing"), std::string::npos);

    // A store file that is gone or garbage: a database error naming the file.
    store().Close();
    for (const std::string& bytes : {std::string(), std::string("this is not a database at all")}) {
        fs::remove(dir / "tnstore1.mdb");
        fs::remove(dir / "tnstore1.mdb-wal");
        fs::remove(dir / "tnstore1.mdb-shm");
        if (!bytes.empty())
            WriteFile(dir / "tnstore1.mdb", bytes);
        MemoryStream out;
        try {
            store().ReadItem(out, id);
            ADD_FAILURE() << "reading a damaged store succeeded";
        } catch (const db::DatabaseError& e) {
            EXPECT_NE(std::string(e.what()).find("tnstore1.mdb"), std::string::npos) << e.what();
        }
        store().Close();
    }
}

} // namespace
} // namespace velmora::test
