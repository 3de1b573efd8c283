#include "platform/RuntimeFolder.h"

#include "platform/PlatformTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempDir;

// What the temp folder's "velmora-<uid>" is before the call, and what must follow.
struct TempCase {
    const char* name;
    void (*prepare)(const fs::path& folder, const fs::path& elsewhere);
    bool accepted;
};

const TempCase kTempCases[] = {
    {"missing: made", [](const fs::path&, const fs::path&) {}, true},
    {"ours and private", [](const fs::path& f, const fs::path&) { fs::create_directory(f); fs::permissions(f, fs::perms::owner_all); }, true},
    {"open to all", [](const fs::path& f, const fs::path&) { fs::create_directory(f); fs::permissions(f, fs::perms::all); }, false},
    {"group may enter", [](const fs::path& f, const fs::path&) { fs::create_directory(f); fs::permissions(f, fs::perms::owner_all | fs::perms::group_exec); }, false},
    {"a link to a private folder", [](const fs::path& f, const fs::path& e) { fs::create_directory_symlink(e, f); }, false},
    {"a file", [](const fs::path& f, const fs::path&) { test::WriteFile(f, "x"); }, false},
};

TEST(RuntimeFolderTest, TempFolderIsUsedOnlyWhenItIsTheUsersAlone)
{
    for (const TempCase& c : kTempCases) {
        SCOPED_TRACE(c.name);
        TempDir tmp;
        TempDir elsewhere;   // private: mkdtemp makes it 0700
        const fs::path folder = tmp / ("velmora-" + std::to_string(geteuid()));
        c.prepare(folder, elsewhere.path());
        ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
        ScopedEnv tmpdir("TMPDIR", tmp.str());
        if (!c.accepted) {
            EXPECT_THROW(PrivateRuntimeFolder(), RuntimeFolderRefused);
            continue;
        }
        EXPECT_EQ(PrivateRuntimeFolder(), folder.string());
        struct stat info {};
        ASSERT_EQ(lstat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0700u);
    }
}

TEST(RuntimeFolderTest, FolderIsMadePrivateWhateverTheUmask)
{
    TempDir tmp;
    ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnv tmpdir("TMPDIR", tmp.str());
    const mode_t old = umask(0);
    const std::string folder = PrivateRuntimeFolder();
    umask(old);
    EXPECT_TRUE(IsPrivateFolder(folder));
}

TEST(RuntimeFolderTest, RuntimeDirIsUsedWhenPrivateElseTheTempOne)
{
    TempDir runtime;
    TempDir tmp;
    ScopedEnv tmpdir("TMPDIR", tmp.str());
    const std::string temp = (tmp / ("velmora-" + std::to_string(geteuid()))).string();
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.str());
        EXPECT_EQ(PrivateRuntimeFolder(), runtime.str());
    }
    {
        // A runtime folder others may enter is no place for the lock and the sockets.
        fs::permissions(runtime.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::others_read);
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.str());
        EXPECT_EQ(PrivateRuntimeFolder(), temp);
    }
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", "relative/run");
        EXPECT_EQ(PrivateRuntimeFolder(), temp);
    }
}

} // namespace
} // namespace velmora
