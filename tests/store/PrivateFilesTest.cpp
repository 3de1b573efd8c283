// A new library and the files it grows are the user's alone whatever the umask;
// files made before stay as they are and are pointed out.
#include "support/LibraryFixture.h"
#include "support/TestSupport.h"

#include "store/AddItemOnThread.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/NewLibrary.h"
#include "store/ObjectStore.h"
#include "store/PrivateFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// The process-wide umask, put back when the test ends.
class UmaskScope {
public:
    explicit UmaskScope(mode_t mask) : m_old(::umask(mask)) {}
    ~UmaskScope() { ::umask(m_old); }
    UmaskScope(const UmaskScope&) = delete;
    UmaskScope& operator=(const UmaskScope&) = delete;

private:
    mode_t m_old;
};

mode_t Mode(const fs::path& path)
{
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

TEST(PrivateFilesTest, ANewLibraryAndEveryFileItGrowsAreTheUsersAloneWhateverTheUmask)
{
    const UmaskScope permissive(0);   // without care, files would be 0666 and folders 0777
    TempDir root;
    ASSERT_EQ(::chmod(root.path().c_str(), 0755), 0);
    const fs::path folder = root.path() / "new" / "vault";

    CreateLibrary(folder.string());
    EXPECT_EQ(Mode(root.path()), 0755u) << "a folder that was there is left as it is";
    EXPECT_EQ(Mode(root.path() / "new"), 0700u);
    EXPECT_EQ(Mode(folder), 0700u);
    EXPECT_EQ(Mode(folder / kMainDatabaseName), 0600u);
    EXPECT_THROW(CreateLibrary(folder.string()), std::runtime_error) << "a library is never made twice";

    // Used: the main database's journal files, a store file and its journal files.
    SetDataDir(folder.string());
    SetLibraryPassword({}, 0);
    {
        Library library;
        library.Open();
        ASSERT_TRUE(library.VerifyPassword("pw", true));
        MemoryStream content{PatternBytes(700000, 3)};
        ASSERT_TRUE(AddItemOnThread(std::nullopt, content, "a.jpg", -1, "a.jpg"));
        int files = 0;
        for (const auto& entry : fs::directory_iterator(folder)) {
            ++files;
            EXPECT_EQ(Mode(entry.path()), 0600u) << entry.path();
        }
        EXPECT_TRUE(fs::exists(folder / StoreFileName(1)));
        EXPECT_GE(files, 2);
        EXPECT_TRUE(ExposedLibraryFiles(folder.string()).empty());
    }
    ObjectStore::ForThisThread().Close();
    SetLibraryPassword({}, 0);
    SetDataDir({});
}

TEST(PrivateFilesTest, FilesOthersCanReadAreListedAndNoneIsChanged)
{
    TempDir folder;
    struct File {
        const char* name;
        mode_t mode;
        bool listed;
    };
    const File files[] = {
        {"tndb.mdb", 0644, true},          {"tndb.mdb-wal", 0604, true},   {"tnstore1.mdb", 0600, false},
        {"tnstore2.mdb", 0640, true},      {"tnstore12.mdb-shm", 0644, true},
        {"tnstore.mdb", 0644, false},      {"notes.txt", 0644, false},     {"tnstorex1.mdb", 0644, false},
    };
    for (const auto& f : files) {
        WriteFile(folder.path() / f.name, "x");
        ASSERT_EQ(::chmod((folder.path() / f.name).c_str(), f.mode), 0);
    }
    std::vector<std::string> expected;
    for (const auto& f : files)
        if (f.listed)
            expected.push_back((folder.path() / f.name).string());
    std::sort(expected.begin(), expected.end());

    std::vector<std::string> listed;
    for (const auto& exposed : ExposedLibraryFiles(folder.str())) {
        listed.push_back(exposed.path);
        EXPECT_EQ(exposed.mode, Mode(exposed.path));
    }
    EXPECT_EQ(listed, expected);
    for (const auto& f : files)
        EXPECT_EQ(Mode(folder.path() / f.name), f.mode) << f.name;
}

} // namespace
} // namespace velmora::test
