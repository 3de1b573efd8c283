// Every long transfer, byte for byte, at the sizes where chunks begin and end: an add,
// the read-back, a save to disk, an export, an import into another library and a
// password change there. One chunk goes through on the calling thread, more through
// the threads of a pipeline, more than it holds at once through its back-pressure.
#include "archive/ArchiveFixture.h"

#include "catalogue/SaveToDisk.h"
#include "store/CheckValue.h"
#include "store/LibraryCheck.h"

#include <gmock/gmock.h>

namespace velmora::test {
namespace {

class TransferRoundTripTest : public ArchiveFixture, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(TransferRoundTripTest, EveryTransferKeepsTheContentByteForByte)
{
    const std::size_t size = GetParam();
    const std::string content = PatternBytes(size, static_cast<unsigned>(size % 1000));
    const int chunks = static_cast<int>(ChunkCount(static_cast<std::int64_t>(size)));
    const int threads = ThreadCount();

    const int id = AddItem(content, "movie.mpg");
    EXPECT_EQ(ReadItem(id), content);

    RecordingProgress saving;
    const std::string saved = SaveItemToFolder(mainConn(), files.str(), id, saving);
    EXPECT_TRUE(ReadFile(saved) == content);
    EXPECT_EQ(saving.allItemSteps, chunks);

    ASSERT_EQ(Export({id}, ArchivePath()).exported, 1);
    EXPECT_EQ(exportProgress.allItemSteps, chunks);
    const std::string archived = [&] {
        auto c = OpenForWriting(ArchivePath());
        db::Query q(*c, "Select * from record");
        auto blob = q.OpenReadStream("rec_object");
        std::string bytes(static_cast<std::size_t>(blob->Size()), '\0');
        blob->ReadBuffer(bytes.data(), blob->Size());
        return bytes;
    }();
    EXPECT_TRUE(DecryptBytes(std::string(kArchivePassword), archived) ==
                content + std::string((8 - size % 8) % 8, '\0'));

    UseTarget();
    EXPECT_EQ(Import(ArchivePath()), 1);
    EXPECT_EQ(ReadItem(1), content);

    RecordingProgress changing;
    target->ChangePassword("yet another one", changing);
    EXPECT_EQ(changing.allItemSteps, chunks);
    EXPECT_EQ(ReadItem(1), content);
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), ::testing::IsEmpty());
    EXPECT_EQ(ThreadCountSettledAt(threads), threads);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TransferRoundTripTest,
                         ::testing::Values(0, 1, 500000, 500001, 1000001, 4000003));

} // namespace
} // namespace velmora::test
