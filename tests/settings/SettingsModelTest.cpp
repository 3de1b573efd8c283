// Where every setting is kept and what a fresh user gets; the options row's settings
// (the slideshow's packed timing, the colour, the recovery copy); and a save's order:
// the monitor paused while it runs, the registry part kept when the library cannot be
// written.
#include "settings/SettingsModel.h"

#include "catalogue/Categories.h"
#include "catalogue/FileImport.h"
#include "catalogue/DropEffect.h"
#include "ui/ProgressRoutines.h"
#include "integration/DirMonitor.h"
#include "settings/RegistryValues.h"
#include "store/Base64.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/RecoveryCopy.h"

#include "dialogs/DialogTestDoubles.h"
#include "support/LibraryFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace velmora::test {
namespace {

class SettingsModelTest : public LibraryFixture {
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        setenv("XDG_CONFIG_HOME", config.str().c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("XDG_CONFIG_HOME");
        LibraryFixture::TearDown();
    }

    db::Connection& mainConn() { return ObjectStore::ForThisThread().MainConnection(); }
    std::string Stored(const char* name) const
    {
        return SettingsStore().ReadString(SettingsStore::kSettings, name, "absent");
    }
    std::string Serial() { return db::Query(mainConn(), "Select opt_serial from options").AsString("opt_serial"); }

    TempDir config;
};

TEST_F(SettingsModelTest, AFreshUserGetsEveryDefault)
{
    const SettingsStore store;
    const UserSettings user = UserSettings::Read(store);
    EXPECT_EQ(user.monitorDir, (BinDir() / "Monitor").string());
    EXPECT_TRUE(user.monitorEnabled);
    EXPECT_EQ(user.shellMenuText, "Add To Velmora");
    EXPECT_TRUE(user.shellExtensionEnabled);
    EXPECT_FALSE(user.playlistRepeat);
    EXPECT_FALSE(user.playlistShuffle);
    EXPECT_TRUE(user.slideshowCycle);
    EXPECT_FALSE(user.slideshowHideControls);
    EXPECT_TRUE(user.lockOnScreenLock);
    EXPECT_EQ(registry::kMediaPlayerVersion.Read(store, 9), 9);
    EXPECT_EQ(registry::kScreenLeft.Read(store), 100);
    EXPECT_EQ(registry::kScreenTop.Read(store), 100);
    EXPECT_EQ(registry::kScreenWidth.Read(store), 800);
    EXPECT_EQ(registry::kScreenHeight.Read(store), 600);
    EXPECT_FALSE(registry::kScreenMaximized.Read(store));
    // Reading wrote nothing.
    EXPECT_FALSE(fs::exists(SettingsStore::DefaultFileName()));
}

TEST_F(SettingsModelTest, SwitchesAreOnForAnyNonZeroNumberAndNumbersMustBeDecimal)
{
    struct Case {
        const char* stored;
        bool repeat;      // PLRepeat, default off
        bool cycle;       // SSCycle, default on
        int width;        // Screen/Width, default 800
    };
    const Case cases[] = {
        {"0", false, false, 0},   {"1", true, true, 1},      {"2", true, true, 2},     {"-1", true, true, -1},
        {"", false, true, 800},   {"yes", false, true, 800}, {" 1", false, true, 800}, {"1.0", false, true, 800},
        {"0x10", false, true, 800}, {"99999999999", false, true, 800},
    };
    for (const Case& c : cases) {
        SettingsStore store;
        store.WriteString(SettingsStore::kSettings, "PLRepeat", c.stored);
        store.WriteString(SettingsStore::kSettings, "SSCycle", c.stored);
        store.WriteString(SettingsStore::kScreen, "Width", c.stored);
        const UserSettings user = UserSettings::Read(store);
        EXPECT_EQ(user.playlistRepeat, c.repeat) << '"' << c.stored << '"';
        EXPECT_EQ(user.slideshowCycle, c.cycle) << '"' << c.stored << '"';
        EXPECT_EQ(registry::kScreenWidth.Read(store), c.width) << '"' << c.stored << '"';
    }
}

TEST_F(SettingsModelTest, TheUserPartIsWrittenAsTextAndReadsBack)
{
    UserSettings user;
    user.monitorDir = "/home/me/Drop Box";
    user.monitorEnabled = false;
    user.shellMenuText = "Hide it";
    user.shellExtensionEnabled = false;
    user.playlistRepeat = true;
    user.playlistShuffle = true;
    user.slideshowCycle = false;
    user.slideshowHideControls = true;
    user.lockOnScreenLock = false;
    {
        SettingsStore store;
        user.Write(store);
        store.Flush();
    }
    EXPECT_EQ(Stored("Monitor Dir"), "/home/me/Drop Box");
    EXPECT_EQ(Stored("Background Monitor"), "0");
    EXPECT_EQ(Stored("shellextext"), "Hide it");
    EXPECT_EQ(Stored("shellextenb"), "0");
    EXPECT_EQ(Stored("PLRepeat"), "1");
    EXPECT_EQ(Stored("PLShuffle"), "1");
    EXPECT_EQ(Stored("SSCycle"), "0");
    EXPECT_EQ(Stored("SSHideCtrls"), "1");
    EXPECT_EQ(Stored("LockOnScreenLock"), "0");
    EXPECT_EQ(UserSettings::Read(SettingsStore()), user);
}

TEST(SlideshowTimingTest, PackedTimingReadsAndWritesAsStored)
{
    struct Case {
        std::int64_t stored;
        int delay;
        bool repeat;
    };
    const Case cases[] = {
        {0, 5, true},                        // null or never set
        {0x50001, 5, true},
        {786432, 12, false},                 // 12 seconds, no repeat
        {(60 << 16) + 1, 60, true},
        {(1 << 16), 1, false},
        {1, 5, true},                        // no delay: unreadable
        {(61 << 16) + 1, 5, true},           // beyond a minute
        {-65535, 5, true},
    };
    for (const Case& c : cases) {
        const SlideshowTiming timing = SlideshowTiming::Unpack(c.stored);
        EXPECT_EQ(timing.delaySeconds, c.delay) << c.stored;
        EXPECT_EQ(timing.repeat, c.repeat) << c.stored;
    }
    EXPECT_EQ((SlideshowTiming{5, true}).Pack(), 0x50001);
    EXPECT_EQ((SlideshowTiming{12, false}).Pack(), 786432);
}

TEST_F(SettingsModelTest, NullOptionsReadAsTheirDefaultsAndAnUnchangedSaveStoresThemBack)
{
    ExecuteMain("Update options set opt_currentStore = NULL, opt_currentStoreSize = NULL, opt_caption = NULL, "
                "opt_enablethumb = NULL, opt_thumbsize = NULL, opt_recoverycopy = NULL");
    TDirMonitor monitor;
    SettingsModel model(mainConn(), monitor);
    const SettingsValues values = model.Load();
    EXPECT_EQ(values.library.slideshow.delaySeconds, 5);
    EXPECT_TRUE(values.library.slideshow.repeat);
    EXPECT_EQ(values.library.slideshowColour, LibraryOptions::kBlack);
    EXPECT_EQ(values.library.caption, "");
    EXPECT_FALSE(values.library.enableThumb);
    EXPECT_EQ(values.library.thumbSize, 0);
    EXPECT_TRUE(values.library.keepRecoveryCopy);

    const SettingsModel::SaveOutcome outcome = model.Save(values, {}, {});
    EXPECT_TRUE(outcome.optionsWritten);
    EXPECT_TRUE(outcome.settingsFileError.empty());
    EXPECT_EQ(Scalar("Select opt_currentStore from options"), 0x50001);
    EXPECT_EQ(Scalar("Select opt_currentStoreSize from options"), 0);
    EXPECT_EQ(LibraryOptions::Read(mainConn()), values.library);
}

TEST_F(SettingsModelTest, EveryLibrarySettingGoesIntoItsColumn)
{
    LibraryOptions options;
    options.caption = "My Vault";
    options.deleteDropped = true;
    options.deleteFromShell = true;
    options.enableThumb = true;
    options.scalePast100 = true;
    options.thumbDefault = true;
    options.thumbSize = 3;
    options.slideshow = {12, false};
    options.slideshowColour = 0x00FF8000;   // blue 0xFF, green 0x80
    options.Write(mainConn());
    EXPECT_EQ(Scalar("Select opt_currentStore from options"), 786432);
    EXPECT_EQ(Scalar("Select opt_currentStoreSize from options"), 0xFF8000);
    EXPECT_EQ(Scalar("Select opt_thumbsize from options"), 3);
    EXPECT_EQ(Scalar("Select opt_defdelete + opt_condelete + opt_enablethumb + opt_scalepast100 + opt_thumbdefault "
                     "from options"),
              5);
    EXPECT_EQ(LibraryOptions::Read(mainConn()), options);
}

TEST_F(SettingsModelTest, AnOptionsRowThatCannotBeReadShowsDefaultsWithAWhiteBackground)
{
    ExecuteMain("Delete from options");
    TDirMonitor monitor;
    const SettingsValues values = SettingsModel(mainConn(), monitor).Load();
    EXPECT_EQ(values.library, LibraryOptions{});
    EXPECT_EQ(values.library.slideshowColour, LibraryOptions::kWhite);
}

TEST_F(SettingsModelTest, TheMonitorIsPausedWhileSavingAndTakesItsValuesBackFromTheRegistry)
{
    TempDir watched;
    TDirMonitor monitor;
    monitor.SetDirectory("/old");
    monitor.SetEnabled(true);
    monitor.Resume();
    SettingsModel model(mainConn(), monitor);
    SettingsValues values = model.Load();
    EXPECT_EQ(values.user.monitorDir, "/old");   // as the monitor has it
    values.user.monitorDir = watched.str();

    bool pausedWhileApplying = false;
    model.Save(values, [&] { pausedWhileApplying = monitor.Suspended(); }, {});
    EXPECT_TRUE(pausedWhileApplying);
    EXPECT_FALSE(monitor.Suspended());
    EXPECT_EQ(monitor.Directory(), watched.str());

    values.user.monitorEnabled = false;
    model.Save(values, {}, {});
    EXPECT_TRUE(monitor.Suspended());
    EXPECT_FALSE(monitor.Enabled());
    EXPECT_EQ(Stored("Background Monitor"), "0");
}

TEST_F(SettingsModelTest, OptionsThatCannotBeWrittenLeaveTheRegistryPartSaved)
{
    ExecuteMain("Delete from options");
    TDirMonitor monitor;
    SettingsModel model(mainConn(), monitor);
    SettingsValues values = model.Load();
    values.user.playlistShuffle = true;
    bool libraryApplied = false;
    const SettingsModel::SaveOutcome outcome = model.Save(values, {}, [&] { libraryApplied = true; });
    EXPECT_FALSE(outcome.optionsWritten);
    EXPECT_TRUE(libraryApplied);
    EXPECT_EQ(Stored("PLShuffle"), "1");
}

// ---- the recovery copy ----

TEST_F(SettingsModelTest, TurningTheRecoveryCopyOffClearsItAtOnceAndOnMakesItAgain)
{
    ASSERT_FALSE(Serial().empty());
    LibraryOptions options = LibraryOptions::Read(mainConn());
    options.keepRecoveryCopy = false;
    options.Write(mainConn());
    EXPECT_TRUE(Serial().empty());
    EXPECT_FALSE(KeepsRecoveryCopy(mainConn()));
    EXPECT_FALSE(library->LoadStoredPassword());

    // A process that holds the password makes the copy again when it is turned on.
    SetLibraryPassword(kPassword, 0);
    options.keepRecoveryCopy = true;
    options.Write(mainConn());
    EXPECT_FALSE(Serial().empty());
    SetLibraryPassword({}, 0);
    EXPECT_TRUE(library->LoadStoredPassword());
    EXPECT_EQ(LibraryPassword(), kPassword);
}

TEST_F(SettingsModelTest, APasswordChangeWritesTheCopyOnlyWhileItIsKept)
{
    AddItem("some content");
    LibraryOptions options = LibraryOptions::Read(mainConn());
    options.keepRecoveryCopy = false;
    options.Write(mainConn());

    test::RecordingProgress progress;
    library->ChangePassword("second secret", progress);
    EXPECT_TRUE(Serial().empty());
    EXPECT_FALSE(library->LoadStoredPassword());

    SetLibraryPassword({}, 0);
    ASSERT_TRUE(library->VerifyPassword("second secret", true));
    options.keepRecoveryCopy = true;
    options.Write(mainConn());
    library->ChangePassword("third secret", progress);
    SetLibraryPassword({}, 0);
    EXPECT_TRUE(library->LoadStoredPassword());
    EXPECT_EQ(LibraryPassword(), "third secret");
}

TEST_F(SettingsModelTest, ALibraryFromBeforeTheSwitchGetsItsColumnAndKeepsItsCopy)
{
    // The column as an earlier version's library lacks it (SQLite before 3.35 cannot
    // drop a column, so the table is made again without it).
    ExecuteMain("Create table options_old as select opt_pass, opt_serial, opt_caption, opt_scalepast100, "
                "opt_enablethumb, opt_thumbdefault, opt_thumbsize, opt_defdelete, opt_condelete, opt_MPversion, "
                "opt_currentStore, opt_currentStoreSize, opt_keygen from options");
    ExecuteMain("Drop table options");
    ExecuteMain("Alter table options_old rename to options");
    {
        db::Query options(mainConn(), "Select * from options");
        ASSERT_FALSE(options.HasField(kRecoveryCopyColumn));
        EXPECT_TRUE(KeepsRecoveryCopy(options));
    }
    library.reset();
    ObjectStore::ForThisThread().Close();
    library = std::make_unique<Library>();
    library->Open();
    db::Query options(library->MainConnection(), "Select * from options");
    EXPECT_TRUE(options.HasField(kRecoveryCopyColumn));
    EXPECT_TRUE(options.IsNull(kRecoveryCopyColumn));
    EXPECT_TRUE(KeepsRecoveryCopy(options));
    SetLibraryPassword({}, 0);
    EXPECT_TRUE(library->LoadStoredPassword());
}

TEST_F(SettingsModelTest, AnAddWithoutAKeyAsksThePromptOnlyWhenTheLibraryKeepsNoCopy)
{
    TempDir sources;
    WriteFile(sources / "a.jpg", "first");
    WriteFile(sources / "b.jpg", "second");
    test::RecordingMessageBoxes messages;
    NullProgress progress;
    FileImport import(*library, progress, messages);
    int asked = 0;
    bool accept = true;
    import.SetPasswordPrompt([&] {
        ++asked;
        return accept && library->VerifyPassword(kPassword, true);
    });
    int mode = kKeepSources;

    // With the copy the key comes from it, unasked.
    SetLibraryPassword({}, 0);
    import.AddFileList(kUnclassifiedId, {(sources / "a.jpg").string()}, false, false, mode);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(Scalar("Select count(*) from Record"), 1);

    LibraryOptions options = LibraryOptions::Read(mainConn());
    options.keepRecoveryCopy = false;
    options.Write(mainConn());
    SetLibraryPassword({}, 0);
    accept = false;
    import.AddFileList(kUnclassifiedId, {(sources / "b.jpg").string()}, false, false, mode);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Scalar("Select count(*) from Record"), 1);
    EXPECT_TRUE(LibraryPassword().empty());

    accept = true;
    import.AddFileList(kUnclassifiedId, {(sources / "b.jpg").string()}, false, false, mode);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(Scalar("Select count(*) from Record"), 2);
    EXPECT_TRUE(messages.messages.empty());
}

} // namespace
} // namespace velmora::test
