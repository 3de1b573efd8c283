#include "CatalogueDoubles.h"
#include "CatalogueFixture.h"

#include "catalogue/CategoryTree.h"
#include "catalogue/DropEffect.h"
#include "catalogue/FileImport.h"
#include "catalogue/ItemRows.h"
#include "catalogue/SecureDelete.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/Query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

class FileImportTest : public CatalogueFixture {
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

    std::string Source(const std::string& relative, const std::string& bytes)
    {
        const fs::path path = sources / relative;
        fs::create_directories(path.parent_path());
        WriteFile(path, bytes);
        return path.string();
    }
    std::vector<std::string> Names(int category)
    {
        std::vector<std::string> names;
        for (const auto& row : ReadItemRows(mainConn(), ItemsQueryForNode(category)).rows)
            names.push_back(row.fileName);
        return names;
    }
    int ItemNamed(const std::string& name)
    {
        return static_cast<int>(Scalar("Select rec_ident from Record where rec_tnorigname = " + QuotedSql(name)));
    }
    std::int64_t Items() { return Scalar("Select count(*) from Record"); }

    TempDir sources;
    RecordingProgress progress;
    RecordingMessages messages;
    std::unique_ptr<FileImport> import;
};

std::string Outline(const std::vector<CategoryNode>& nodes, int depth = 0)
{
    std::string text;
    for (const auto& node : nodes) {
        text += std::string(static_cast<std::size_t>(depth) * 2, ' ') + node.description + "\n";
        text += Outline(node.children, depth + 1);
    }
    return text;
}

TEST_F(FileImportTest, AFileBecomesAnItemNamedAfterItFiledUnderTheCategory)
{
    const int category = Category("Holidays");
    const std::string content = PatternBytes(1000000, 1);
    const std::string path = Source("Holiday.JPG", content);
    ASSERT_TRUE(import->AddFile(category, path));
    EXPECT_TRUE(messages.shown.empty());

    const int item = ItemNamed("Holiday.JPG");
    EXPECT_EQ(Names(category), std::vector<std::string>{"Holiday.JPG"});
    db::Query row(mainConn(), SqlFormat("Select * from Record where rec_ident = %d", item));
    EXPECT_EQ(row.AsString("rec_description"), "Holiday.JPG");
    EXPECT_EQ(row.AsInteger("rec_size"), 1000000);
    EXPECT_EQ(row.AsInteger("rec_rank"), 1);
    EXPECT_EQ(ReadItem(item), content);
    EXPECT_EQ(import->LastAddedItem(), item);
    // The item bar: 1,000,000 div 500,000 + 1 steps, one step per chunk stored.
    EXPECT_NE(std::find(progress.calls.begin(), progress.calls.end(), "item Holiday.JPG 3"), progress.calls.end());
    EXPECT_EQ(progress.allItemSteps, 2);
    EXPECT_EQ(progress.steps, 1);
    EXPECT_TRUE(fs::exists(path));

    EXPECT_FALSE(import->AddFile(category, Source("notes.txt", "text")));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(Items(), 1);
}

TEST_F(FileImportTest, AnItemForACategoryDeletedMeanwhileIsAddedUnclassified)
{
    const int category = Category("Soon gone");
    DeleteCategory(mainConn(), category);
    MemoryStream source(std::string("bytes"));
    EXPECT_TRUE(import->AddItemFromStream(category, source, "desc", "x.jpg", -1));
    EXPECT_EQ(Names(kUnclassifiedId), std::vector<std::string>{"x.jpg"});
}

TEST_F(FileImportTest, AFolderTreeBecomesTheSameCategoryTreeWithItsFiles)
{
    const int parent = Category("Imports");
    Source("Trip/a.jpg", "a");
    Source("Trip/notes.txt", "skipped");
    Source("Trip/.hidden.jpg", "hidden");
    Source("Trip/.cache/h.jpg", "hidden folder");
    Source("Trip/Day1/b.jpg", "b");
    Source("Trip/Day1/Night/c.mp3", "c");
    fs::create_directories(sources / "Trip" / "Day2");
    // A link back up the tree must not be followed.
    fs::create_directory_symlink(sources / "Trip", sources / "Trip" / "Day1" / "loop");

    std::vector<CategoryNode> announced;
    import->SetCategoryAdded([&](const CategoryNode& node) { announced.push_back(node); });
    int mode = kKeepSources;
    import->AddFileList(parent, {(sources / "Trip/").string()}, false, false, mode);

    EXPECT_EQ(Outline(LoadCategoryChildren(mainConn(), parent)), "Trip\n  Day1\n    Night\n  Day2\n");
    const auto trip = LoadCategoryChildren(mainConn(), parent).at(0);
    const auto& day1 = trip.children.at(0);
    EXPECT_EQ(Names(trip.id), std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(Names(day1.id), std::vector<std::string>{"b.jpg"});
    EXPECT_EQ(Names(day1.children.at(0).id), std::vector<std::string>{"c.mp3"});
    EXPECT_EQ(Items(), 3);
    EXPECT_TRUE(messages.shown.empty());
    ASSERT_EQ(announced.size(), 4u);
    EXPECT_EQ(announced[0].id, trip.id);
    EXPECT_EQ(announced[0].parent, parent);
    EXPECT_EQ(announced[0].description, "Trip");
    EXPECT_TRUE(fs::exists(sources / "Trip/Day1/b.jpg"));
    EXPECT_EQ(progress.calls.front(), "show Adding Files");
    EXPECT_EQ(progress.calls.back(), "hide");
}

TEST_F(FileImportTest, AMoveDeletesTheFilesOfAFolderButNeverTheFolder)
{
    Source("Move/a.jpg", "a");
    Source("Move/sub/b.jpg", "b");
    Source("Move/keep.txt", "not taken");
    int mode = static_cast<int>(DropEffect::Move);
    import->AddFileList(kUnclassifiedId, {(sources / "Move").string()}, false, false, mode);
    EXPECT_EQ(Items(), 2);
    EXPECT_FALSE(fs::exists(sources / "Move/a.jpg"));
    EXPECT_FALSE(fs::exists(sources / "Move/sub/b.jpg"));
    EXPECT_TRUE(fs::exists(sources / "Move/sub"));
    EXPECT_TRUE(fs::exists(sources / "Move/keep.txt"));
}

// A moved folder may hold links to files and folders that were never dropped: the
// links go with the move, what they point at stays as it was.
TEST_F(FileImportTest, AMovedFolderRemovesItsLinksButNeverTouchesWhatTheyPointAt)
{
    const std::string real = Source("outside/real.jpg", "the real picture");
    const std::string inner = Source("outside/album/inner.jpg", "in the linked folder");
    Source("Move/own.jpg", "own");
    fs::create_symlink("../outside/real.jpg", sources / "Move/link.jpg");
    fs::create_directory_symlink("../outside/album", sources / "Move/album");
    fs::create_symlink("../outside/gone.jpg", sources / "Move/dangling.jpg");
    // Dropped itself, a link to a folder is taken in, but its folder is not moved.
    fs::create_directory_symlink("outside/album", sources / "AlbumLink");
    int mode = kDeleteSources;
    import->AddFileList(kUnclassifiedId, {(sources / "Move").string(), (sources / "AlbumLink").string()}, false,
                        false, mode);

    EXPECT_EQ(ReadFile(real), "the real picture");
    EXPECT_EQ(ReadFile(inner), "in the linked folder");
    EXPECT_EQ(ReadItem(ItemNamed("link.jpg")), "the real picture");
    EXPECT_EQ(ReadItem(ItemNamed("own.jpg")), "own");
    EXPECT_EQ(ReadItem(ItemNamed("inner.jpg")), "in the linked folder");
    EXPECT_EQ(Outline(LoadCategoryChildren(mainConn(), kUnclassifiedId)), "AlbumLink\nMove\n");
    EXPECT_TRUE(fs::is_symlink(sources / "AlbumLink"));
    EXPECT_EQ(Items(), 3);
    EXPECT_FALSE(fs::exists(fs::symlink_status(sources / "Move/link.jpg")));
    EXPECT_FALSE(fs::exists(sources / "Move/own.jpg"));
    // Not followed, so not moved: both links stay, the dangling one with its message.
    EXPECT_TRUE(fs::is_symlink(sources / "Move/album"));
    EXPECT_TRUE(fs::is_symlink(sources / "Move/dangling.jpg"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("dangling.jpg"), std::string::npos);
}

TEST(DropEffectTest, TheOptionAndTheKeysDecideCopyOrMove)
{
    struct Case {
        bool option, ctrl, shift;
        DropEffect effect;
    };
    const std::vector<Case> cases = {
        {false, false, false, DropEffect::Copy}, {false, false, true, DropEffect::Move},
        {false, true, false, DropEffect::Copy},  {false, true, true, DropEffect::Move},
        {true, false, false, DropEffect::Move},  {true, true, false, DropEffect::Copy},
        {true, false, true, DropEffect::Move},   {true, true, true, DropEffect::Copy},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileDropEffect(c.option, c.ctrl, c.shift), c.effect) << c.option << c.ctrl << c.shift;
}

TEST_F(FileImportTest, ADropKeepsOrSecurelyDeletesItsSourcesAsTheEffectSays)
{
    struct Case {
        bool option, ctrl, shift, kept;
    };
    const std::vector<Case> cases = {
        {false, false, false, true}, {false, false, true, false}, {true, false, false, false}, {true, true, false, true}};
    int n = 0;
    for (const auto& c : cases) {
        const std::string content = "drop " + std::to_string(n);
        const std::string path = Source("drop" + std::to_string(n++) + ".jpg", content);
        int mode = static_cast<int>(FileDropEffect(c.option, c.ctrl, c.shift));
        import->AddFileList(kUnclassifiedId, {path}, false, false, mode);
        EXPECT_EQ(fs::exists(path), c.kept) << path;
        EXPECT_EQ(ReadItem(*import->LastAddedItem()), content);
    }
    // The tree's drop takes the same effect. A second name of the moved file shows
    // that its bytes were overwritten with zeros, not merely unlinked.
    const std::string moved = Source("tree.jpg", "tree");
    fs::create_hard_link(moved, sources / "witness");
    import->AddDroppedFiles(kUnclassifiedId, {moved}, DropEffect::Move);
    EXPECT_FALSE(fs::exists(moved));
    EXPECT_EQ(ReadFile(sources / "witness"), std::string(65001, '\0'));
    const std::string copied = Source("tree2.jpg", "tree2");
    import->AddDroppedFiles(kUnclassifiedId, {copied}, DropEffect::Copy);
    EXPECT_TRUE(fs::exists(copied));
    EXPECT_EQ(Items(), 6);
}

TEST_F(FileImportTest, PastingAndTheFileDialogNeverDeleteSources)
{
    ExecuteMain("Update options set opt_defdelete = 1, opt_condelete = 1");
    const std::string pasted = Source("pasted.jpg", "p");
    import->Paste(kUnclassifiedId, {pasted});
    const std::string chosen = Source("chosen.jpg", "c");
    import->AddSelectedFiles(kUnclassifiedId, {chosen});
    EXPECT_EQ(Items(), 2);
    EXPECT_TRUE(fs::exists(pasted));
    EXPECT_TRUE(fs::exists(chosen));
}

TEST_F(FileImportTest, TheShellOptionTurnsAnAddIntoAMoveAndADisabledExtensionAddsNothing)
{
    ExecuteMain("Update options set opt_condelete = 1");
    const std::string path = Source("shell.jpg", "s");
    int mode = kKeepSources;
    import->AddFileList(kUnclassifiedId, {path}, true, true, mode);
    EXPECT_EQ(mode, kDeleteSources);
    EXPECT_FALSE(fs::exists(path));

    import->SetShellExtensionEnabled([] { return false; });
    const std::string refused = Source("refused.jpg", "r");
    mode = kKeepSources;
    import->AddFileList(kUnclassifiedId, {refused}, true, true, mode);
    EXPECT_EQ(Items(), 1);
    EXPECT_TRUE(fs::exists(refused));
}

TEST_F(FileImportTest, AnUnreadableOrVanishedSourceIsReportedAndTheImportGoesOn)
{
    const std::string missing = (sources / "vanished.jpg").string();
    const std::string pipe = (sources / "pipe.mp3").string();
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string good = Source("good.jpg", "good");
    int mode = kDeleteSources;
    import->AddFileList(kUnclassifiedId, {missing, pipe, good}, false, false, mode);

    EXPECT_EQ(Names(kUnclassifiedId), std::vector<std::string>{"good.jpg"});
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[0].text, "There was an error whilst attempting to open the file: " + missing +
                                          "\n\r\n\rException: Cannot open file \"" + missing +
                                          "\": No such file or directory");
    EXPECT_EQ(messages.shown[0].flags, 0);
    EXPECT_EQ(messages.shown[1].text.rfind("There was an error whilst attempting to open the file: " + pipe +
                                               "\n\r\n\rException: ",
                                           0),
              0u);
    EXPECT_TRUE(fs::exists(pipe));   // not stored, so not deleted
    EXPECT_FALSE(fs::exists(good));
}

// Root reads every folder, so the import runs as a user without privileges.
TEST_F(FileImportTest, AnUnreadableFolderIsReportedAndPassedOverAndTheImportGoesOn)
{
    const std::string before = Source("before.jpg", "before");
    Source("Locked/unseen.jpg", "never read");
    Source("Album/first.jpg", "first");
    Source("Album/Private/inner.jpg", "never read either");
    Source("Album/last.mp3", "last");
    const std::string after = Source("after.jpg", "after");
    const std::string locked = (sources / "Locked").string();
    const std::string inner = (sources / "Album/Private").string();
    GiveToUnprivilegedUser(dir.path());
    GiveToUnprivilegedUser(sources.path());
    fs::permissions(locked, fs::perms::none);
    fs::permissions(inner, fs::perms::none);
    const ProcessResult run =
        RunProgramUnprivileged("catalogue_import_helper",
                               {dir.str(), std::to_string(kDeleteSources), before, locked,
                                (sources / "Album").string(), after},
                               {{"VELMORA_PASSWORD", kPassword}});
    fs::permissions(locked, fs::perms::owner_all);
    fs::permissions(inner, fs::perms::owner_all);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    std::vector<std::string> shown;
    for (std::size_t start = 0, end; (end = run.out.find('\0', start)) != std::string::npos; start = end + 1)
        shown.push_back(run.out.substr(start, end - start));
    const auto message = [](const std::string& folder) {
        return "There was an error whilst attempting to open the file: " + folder +
               "\n\r\n\rException: Cannot open folder \"" + folder + "\": Permission denied";
    };
    EXPECT_EQ(shown, (std::vector<std::string>{message(locked), message(inner)}));
    // Neither folder became a category; everything around them was added and moved.
    EXPECT_EQ(Outline(LoadCategoryChildren(mainConn(), kUnclassifiedId)), "Album\n");
    EXPECT_EQ(Names(kUnclassifiedId), (std::vector<std::string>{"after.jpg", "before.jpg"}));
    EXPECT_EQ(Items(), 4);
    EXPECT_EQ(ReadItem(ItemNamed("last.mp3")), "last");
    EXPECT_FALSE(fs::exists(after));
    EXPECT_EQ(ReadFile(sources / "Locked/unseen.jpg"), "never read");
    EXPECT_EQ(ReadFile(sources / "Album/Private/inner.jpg"), "never read either");
}

TEST_F(FileImportTest, AFailedStoreLeavesNoItemAndKeepsTheSource)
{
    const std::string path = Source("kept.jpg", PatternBytes(700000, 2));
    SetLibraryPassword({}, 0);   // storing now fails: no content under an empty key
    EXPECT_FALSE(import->AddFile(kUnclassifiedId, path));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(Items(), 0);
    EXPECT_EQ(Scalar("Select count(*) from pendingadd"), 0);
    EXPECT_TRUE(fs::exists(path));
}

TEST_F(FileImportTest, CancelStopsAfterTheCurrentPath)
{
    const std::vector<std::string> paths = {Source("1.jpg", "1"), Source("2.jpg", "2"), Source("3.jpg", "3")};
    progress.cancelAfterChecks = 0;
    int mode = kKeepSources;
    import->AddFileList(kUnclassifiedId, paths, false, false, mode);
    EXPECT_EQ(Names(kUnclassifiedId), std::vector<std::string>{"1.jpg"});
}

TEST_F(FileImportTest, CommandLineFilesLoadTheStoredPasswordAndAreAddedWithoutACategory)
{
    const int category = Category("Unused");
    ExecuteMain("Update options set opt_defdelete = 1");
    SetLibraryPassword({}, 0);   // a start without the password gate
    const std::string path = Source("cli.mp3", "command line");
    import->SetScreenArea({0, 0, 1920, 1080});
    import->AddCommandLineFiles({path});

    EXPECT_EQ(LibraryPassword(), kPassword);
    EXPECT_EQ(Names(kUnclassifiedId), std::vector<std::string>{"cli.mp3"});
    EXPECT_TRUE(Names(category).empty());
    EXPECT_EQ(ReadItem(ItemNamed("cli.mp3")), "command line");
    EXPECT_FALSE(fs::exists(path));   // opt_defdelete on
    EXPECT_EQ(progress.calls.front(), "showat Adding Files 0,0 1920x1080");
}

TEST_F(FileImportTest, WithoutAUsableStoredPasswordNothingIsAddedAndTheUserIsTold)
{
    ExecuteMain("Update options set opt_serial = 'not a sealed password'");
    SetLibraryPassword({}, 0);
    const std::string path = Source("cli.jpg", "x");
    import->AddCommandLineFiles({path});
    EXPECT_EQ(Items(), 0);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(LibraryPassword(), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, kNoLibraryKeyMessage);
    EXPECT_EQ(messages.shown[0].flags, mb::kIconError);
}

TEST_F(FileImportTest, TheDropOptionIsKeptUntilForgottenTheShellOptionIsReadEachTime)
{
    ExecuteMain("Update options set opt_defdelete = 1, opt_condelete = 1");
    EXPECT_TRUE(import->DeleteSourceByDefault());
    EXPECT_TRUE(import->DeleteShellSourceByDefault());
    ExecuteMain("Update options set opt_defdelete = 0, opt_condelete = 0");
    EXPECT_TRUE(import->DeleteSourceByDefault());
    EXPECT_FALSE(import->DeleteShellSourceByDefault());
    import->DeletionOptions().Forget();
    EXPECT_FALSE(import->DeleteSourceByDefault());
}

// The other name of a hard link shows what the routine left on the disk.
TEST(SecureDeleteTest, OverwritesWithWholeZeroBlocksThenRemovesTheName)
{
    TempDir dir;
    const std::vector<std::pair<std::size_t, std::size_t>> cases = {
        {0, 65001}, {1, 65001}, {65000, 65001}, {65001, 130002}, {200000, 260004}};
    for (const auto& [size, expected] : cases) {
        const fs::path file = dir / ("f" + std::to_string(size) + ".jpg");
        const fs::path witness = dir / ("w" + std::to_string(size));
        WriteFile(file, PatternBytes(size, 9));
        fs::create_hard_link(file, witness);
        SecureDeleteFile(file.string());
        EXPECT_FALSE(fs::exists(file));
        const std::string left = ReadFile(witness);
        EXPECT_EQ(left.size(), expected) << size;
        EXPECT_EQ(left.find_first_not_of('\0'), std::string::npos) << size;
    }
}

TEST(SecureDeleteTest, RemovesALinkAndLeavesItsTarget)
{
    TempDir dir;
    WriteFile(dir / "target.jpg", "keep me");
    fs::create_directory(dir / "folder");
    WriteFile(dir / "folder/inside.jpg", "keep me too");
    const struct {
        const char* link;
        fs::path target;
    } cases[] = {
        {"relative.jpg", "target.jpg"},
        {"absolute.jpg", dir / "target.jpg"},
        {"folder.jpg", "folder"},
        {"dangling.jpg", "missing.jpg"},
    };
    for (const auto& c : cases) {
        fs::create_symlink(c.target, dir / c.link);
        SecureDeleteFile((dir / c.link).string());
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / c.link))) << c.link;
        EXPECT_EQ(ReadFile(dir / "target.jpg"), "keep me") << c.link;
        EXPECT_EQ(ReadFile(dir / "folder/inside.jpg"), "keep me too") << c.link;
    }
    EXPECT_FALSE(fs::exists(dir / "missing.jpg"));
}

TEST(SecureDeleteTest, LeavesWhatItCannotOverwriteAndNeverThrows)
{
    TempDir dir;
    SecureDeleteFile((dir / "missing.jpg").string());
    const fs::path pipe = dir / "pipe.jpg";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    SecureDeleteFile(pipe.string());
    EXPECT_TRUE(fs::exists(pipe));
    fs::create_directory(dir / "folder.jpg");
    SecureDeleteFile((dir / "folder.jpg").string());
    EXPECT_TRUE(fs::exists(dir / "folder.jpg"));
}

} // namespace
} // namespace velmora::test
