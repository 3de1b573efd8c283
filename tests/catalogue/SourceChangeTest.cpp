// A source file that changes while it is being added: whatever way it came in, the add
// fails, nothing of it stays in the library and the file is left as it now is.
#include "CatalogueDoubles.h"
#include "CatalogueFixture.h"

#include "catalogue/FileImport.h"
#include "store/AddItemOnThread.h"
#include "store/LibraryCheck.h"
#include "store/SourceFile.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Runs a change to the source once the first chunk is stored: between the size taken
// at the start and the last chunk.
class ChangingProgress : public RecordingProgress {
public:
    void StepItemProgress() override
    {
        RecordingProgress::StepItemProgress();
        if (change)
            std::exchange(change, nullptr)();
    }
    std::function<void()> change;
};

struct SourceChange {
    const char* name;
    // Changes the file at path; returns what it holds afterwards.
    std::string (*apply)(const fs::path& path, const std::string& original);
};

void Overwrite(const fs::path& path, const std::string& bytes, int flags)
{
    const int fd = ::open(path.c_str(), O_WRONLY | flags);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

const SourceChange kChanges[] = {
    {"grows",
     [](const fs::path& path, const std::string& original) {
         const std::string more = PatternBytes(100000, 9);
         Overwrite(path, more, O_APPEND);
         return original + more;
     }},
    {"shrinks",
     [](const fs::path& path, const std::string& original) {
         fs::resize_file(path, 1000);
         return original.substr(0, 1000);
     }},
    {"is rewritten in place",
     [](const fs::path& path, const std::string& original) {
         const std::string other = PatternBytes(original.size(), 8);
         Overwrite(path, other, 0);
         return other;
     }},
    {"is replaced",
     [](const fs::path& path, const std::string& original) {
         const std::string other = PatternBytes(original.size(), 7);
         WriteFile(path.string() + ".new", other);
         fs::rename(path.string() + ".new", path);
         return other;
     }},
};

class SourceChangeTest : public CatalogueFixture {
protected:
    void SetUp() override
    {
        CatalogueFixture::SetUp();
        import = std::make_unique<FileImport>(*library, progress, messages);
    }
    void TearDown() override
    {
        import.reset();
        CatalogueFixture::TearDown();
    }
    // Three chunks, last modified long ago: any rewrite gives it another time.
    fs::path Source(const std::string& original)
    {
        const fs::path path = sources / "movie.mpg";
        WriteFile(path, original);
        const timespec longAgo[2] = {{978307200, 0}, {978307200, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), longAgo, 0), 0);
        return path;
    }
    void ExpectNothingStored()
    {
        EXPECT_EQ(Scalar("Select count(*) from Record"), 0);
        EXPECT_EQ(Scalar("Select count(*) from pendingadd"), 0);
        EXPECT_EQ(Scalar("Select count(*) from pendingdelete"), 0);
        EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
    }

    TempDir sources;
    ChangingProgress progress;
    RecordingMessages messages;
    std::unique_ptr<FileImport> import;
};

TEST_F(SourceChangeTest, AnAddWhoseSourceChangesFailsLeavesNothingAndKeepsTheSource)
{
    const std::string original = PatternBytes(1200000, 3);
    for (const SourceChange& change : kChanges) {
        for (const int mode : {kKeepSources, kDeleteSources}) {
            SCOPED_TRACE(std::string(change.name) + (mode == kDeleteSources ? ", moved" : ", copied"));
            const fs::path path = Source(original);
            std::string now;
            progress.change = [&] { now = change.apply(path, original); };
            messages.shown.clear();

            int chosen = mode;
            import->AddFileList(kUnclassifiedId, {path.string()}, false, false, chosen);

            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text.rfind("There was an error whilst attempting to open the file: " +
                                                       path.string() + "\n\r\n\rException: ",
                                                   0),
                      0u);
            EXPECT_THAT(messages.shown[0].text, HasSubstr("changed while it was being added"));
            ExpectNothingStored();
            ASSERT_TRUE(fs::exists(path));
            EXPECT_EQ(ReadFile(path), now);
        }
    }
}

TEST_F(SourceChangeTest, TheWatchedFoldersAddFailsForAFileThatChangedSinceItWasOpened)
{
    const std::string original = PatternBytes(700000, 4);
    for (const SourceChange& change : kChanges) {
        SCOPED_TRACE(change.name);
        const fs::path path = Source(original);
        SourceFile file(path);
        change.apply(path, original);
        EXPECT_FALSE(AddItemOnThread(std::nullopt, file, "movie.mpg", -1, "movie.mpg"));
        ExpectNothingStored();
    }
}

TEST_F(SourceChangeTest, AnUnchangedSourceIsStoredWholeAndMoved)
{
    const std::string original = PatternBytes(1200000, 5);
    const fs::path path = Source(original);
    int mode = kDeleteSources;
    import->AddFileList(kUnclassifiedId, {path.string()}, false, false, mode);
    EXPECT_THAT(messages.shown, IsEmpty());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ReadItem(static_cast<int>(Scalar("Select rec_ident from Record"))), original);
    EXPECT_THAT(CheckLibrary(ObjectStore::ForThisThread()), IsEmpty());
}

} // namespace
} // namespace velmora::test
