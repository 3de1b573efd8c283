#include "platform/SettingsStore.h"

#include "platform/PlatformTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace velmora {
namespace {

using test::ReadFile;
using test::ScopedEnv;
using test::TempDir;
using test::WriteFile;

class SettingsStoreTest : public ::testing::Test {
protected:
    TempDir config;
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.str()};
    std::filesystem::path iniFile = config / "Velmora" / "Velmora.ini";
};

TEST_F(SettingsStoreTest, LivesUnderXdgConfigHomeAndFollowsItsChanges)
{
    {
        SettingsStore store;
        EXPECT_EQ(store.FileName(), iniFile.string());
        store.WriteString(SettingsStore::kSettings, "shellextext", "first");
    }
    ASSERT_TRUE(std::filesystem::exists(iniFile));

    // A later store follows the variable as it is then, not as it was at the first use.
    TempDir other;
    ScopedEnv moved("XDG_CONFIG_HOME", other.str());
    SettingsStore store;
    EXPECT_EQ(store.FileName(), (other / "Velmora" / "Velmora.ini").string());
    EXPECT_EQ(store.ReadString(SettingsStore::kSettings, "shellextext", "none"), "none");
}

TEST_F(SettingsStoreTest, ValuesSurviveAStoreAndAreKeptAsStrings)
{
    {
        SettingsStore store;
        store.WriteInteger(SettingsStore::kScreen, "Top", 120);
        store.WriteInteger(SettingsStore::kScreen, "Left", -8);
        store.WriteBool(SettingsStore::kScreen, "Maximized", true);
        store.WriteBool(SettingsStore::kSettings, "shellextenb", false);
        store.WriteString(SettingsStore::kSettings, "Monitor Dir", "/home/u/My Monitor, new");
        store.WriteString(SettingsStore::kSettings, "shellextext", "Add To Velmora");
        store.Flush();
    }

    const std::string text = ReadFile(iniFile);
    EXPECT_NE(text.find("[Screen]"), std::string::npos);
    EXPECT_NE(text.find("[Settings]"), std::string::npos);
    EXPECT_NE(text.find("Top=120\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Left=-8\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Maximized=1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("shellextenb=0\n"), std::string::npos) << text;
    // No type tags: every value is plain text.
    EXPECT_EQ(text.find("@Variant"), std::string::npos) << text;

    SettingsStore store;
    EXPECT_EQ(store.ReadInteger(SettingsStore::kScreen, "Top", 100), 120);
    EXPECT_EQ(store.ReadInteger(SettingsStore::kScreen, "Left", 100), -8);
    EXPECT_TRUE(store.ReadBool(SettingsStore::kScreen, "Maximized", false));
    EXPECT_FALSE(store.ReadBool(SettingsStore::kSettings, "shellextenb", true));
    EXPECT_EQ(store.ReadString(SettingsStore::kSettings, "Monitor Dir", ""), "/home/u/My Monitor, new");
    EXPECT_EQ(store.ReadString(SettingsStore::kSettings, "shellextext", ""), "Add To Velmora");
    // Numbers and switches are strings like any other value.
    EXPECT_EQ(store.ReadString(SettingsStore::kScreen, "Top", ""), "120");
    EXPECT_EQ(store.ReadString(SettingsStore::kScreen, "Maximized", ""), "1");
}

TEST_F(SettingsStoreTest, AbsentValuesYieldTheirDefaults)
{
    SettingsStore store;
    EXPECT_FALSE(store.ValueExists(SettingsStore::kScreen, "Width"));
    EXPECT_EQ(store.ReadInteger(SettingsStore::kScreen, "Width", 800), 800);
    EXPECT_TRUE(store.ReadBool(SettingsStore::kSettings, "Background Monitor", true));
    EXPECT_FALSE(store.ReadBool(SettingsStore::kScreen, "Maximized", false));
    EXPECT_EQ(store.ReadString(SettingsStore::kSettings, "shellextext", "Add To Velmora"), "Add To Velmora");
    // Reading writes nothing.
    EXPECT_FALSE(std::filesystem::exists(iniFile));
}

TEST_F(SettingsStoreTest, NumbersAreDecimalOnlyAndSwitchesAreOnWhenNotZero)
{
    std::filesystem::create_directories(iniFile.parent_path());
    WriteFile(iniFile, "[Screen]\n"
                       "Empty=\n"
                       "Letters=12a\n"
                       "Hex=0x10\n"
                       "Blank=\" 5\"\n"
                       "Huge=99999999999\n"
                       "Negative=-42\n"
                       "[Settings]\n"
                       "PLRepeat=2\n"
                       "PLShuffle=0\n"
                       "SSCycle=yes\n"
                       "Monitor Dir=/srv/monitor\n");
    SettingsStore store;
    struct Case { const char* name; int expected; };
    for (const Case& c : {Case{"Empty", 100}, Case{"Letters", 100}, Case{"Hex", 100},
                          Case{"Blank", 100}, Case{"Huge", 100}, Case{"Negative", -42}})
        EXPECT_EQ(store.ReadInteger(SettingsStore::kScreen, c.name, 100), c.expected) << c.name;

    EXPECT_TRUE(store.ReadBool(SettingsStore::kSettings, "PLRepeat", false));
    EXPECT_FALSE(store.ReadBool(SettingsStore::kSettings, "PLShuffle", true));
    EXPECT_TRUE(store.ReadBool(SettingsStore::kSettings, "SSCycle", true));
    EXPECT_FALSE(store.ReadBool(SettingsStore::kSettings, "SSCycle", false));
    // A key written by hand with a blank in it is found by its plain name.
    EXPECT_EQ(store.ReadString(SettingsStore::kSettings, "Monitor Dir", ""), "/srv/monitor");
}

TEST_F(SettingsStoreTest, DeletedValueReadsAsDefaultAgain)
{
    SettingsStore store;
    store.WriteInteger(SettingsStore::kScreen, "Height", 700);
    store.DeleteValue(SettingsStore::kScreen, "Height");
    store.Flush();
    EXPECT_EQ(SettingsStore().ReadInteger(SettingsStore::kScreen, "Height", 600), 600);
}

} // namespace
} // namespace velmora
