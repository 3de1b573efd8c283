// Long transfers that fail half-way, through the threads that carry them: a writer that
// finds the disk full, and a source that ends before its size. The transfer ends with
// the error, no thread runs on after it, and the library is as it was.
#include "CatalogueDoubles.h"
#include "CatalogueFixture.h"
#include "support/SmallFileSystem.h"

#include "catalogue/SaveToDisk.h"
#include "store/DatabaseError.h"
#include "store/LibraryFiles.h"
#include "store/LibraryCheck.h"
#include "store/NewItem.h"
#include "store/SourceFile.h"

#include <gmock/gmock.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

constexpr std::size_t kSixteenChunks = 16 * 500000 - 123;

class TransferFailureTest : public CatalogueFixture {
protected:
    void SetUp() override
    {
        CatalogueFixture::SetUp();
        ASSERT_EQ(disk.Error(), "") << "cannot mount a small file system";
    }
    void ExpectOnlyItem(int id, const std::string& content)
    {
        EXPECT_EQ(Scalar("Select count(*) from Record"), 1);
        EXPECT_EQ(Scalar("Select count(*) from pendingadd"), 0);
        EXPECT_EQ(ReadItem(id), content);
        EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
    }

    SmallFileSystem disk{"2m"};
    TempDir sources;
    ActingProgress progress;
};

TEST_F(TransferFailureTest, ASaveThatFillsTheDiskEndsWithTheErrorAndNoThreadRunsOn)
{
    const std::string content = PatternBytes(kSixteenChunks, 1);
    const int id = AddItem(content, "movie.mpg");
    const int threads = ThreadCount();
    try {
        SaveItemToFolder(mainConn(), disk.path().string(), id, progress);
        ADD_FAILURE() << "the save succeeded on a full disk";
    } catch (const StreamError& e) {
        EXPECT_THAT(e.what(), HasSubstr(kNoSpaceMessage));
    }
    EXPECT_EQ(ThreadCountSettledAt(threads), threads);
    // It stopped where the disk was full, and took its short copy away.
    EXPECT_LT(progress.allItemSteps, 16);
    EXPECT_FALSE(fs::exists(disk / "movie.mpg"));
    ExpectOnlyItem(id, content);
}

TEST_F(TransferFailureTest, AnAddWhoseSourceEndsEarlyEndsWithTheErrorAndNoThreadRunsOn)
{
    const int kept = AddItem("kept", "kept.jpg");
    const std::string content = PatternBytes(kSixteenChunks, 2);
    const fs::path path = sources / "movie.mpg";
    WriteFile(path, content);
    const int threads = ThreadCount();
    {
        SourceFile source(path);
        NewItem item(ObjectStore::ForThisThread(), "movie.mpg", "movie.mpg");
        // Cut short while the first chunks are written and the next ones read.
        progress.action = [&] { fs::resize_file(path, 1000000); };
        try {
            item.Store(source, source.Size(), &progress);
            ADD_FAILURE() << "a source that ended early was stored";
        } catch (const StreamError& e) {
            EXPECT_THAT(e.what(), HasSubstr("changed while it was being added"));
        }
        EXPECT_EQ(ThreadCountSettledAt(threads), threads);
    }
    ExpectOnlyItem(kept, "kept");
    EXPECT_EQ(Scalar("Select st_freespace from [space] where st_num = 1"), 1887436800 - 500000);
}

TEST_F(TransferFailureTest, AnAddThatFillsTheDiskEndsWithTheErrorAndNoThreadRunsOn)
{
    // The library itself on the small disk.
    SmallFileSystem libraryDisk("12m");
    ASSERT_EQ(libraryDisk.Error(), "");
    library.reset();
    ObjectStore::ForThisThread().Close();
    MakeEmptyLibrary(libraryDisk.path());
    SetDataDir(libraryDisk.path().string());
    library = std::make_unique<Library>();
    library->Open();
    ASSERT_TRUE(library->VerifyPassword(kPassword, true));
    const int kept = AddItem("kept", "kept.jpg");

    const std::string content = PatternBytes(3 * kSixteenChunks, 3);
    const fs::path path = sources / "movie.mpg";
    WriteFile(path, content);
    const int threads = ThreadCount();
    {
        SourceFile source(path);
        NewItem item(ObjectStore::ForThisThread(), "movie.mpg", "movie.mpg");
        EXPECT_THROW(item.Store(source, source.Size(), &progress), db::DiskFull);
        EXPECT_EQ(ThreadCountSettledAt(threads), threads);
    }
    ExpectOnlyItem(kept, "kept");
    library.reset();
    ObjectStore::ForThisThread().Close();
}

} // namespace
} // namespace velmora::test
