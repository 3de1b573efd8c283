#include "integration/MonitorSettings.h"

#include "platform/SettingsStore.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace velmora::test {
namespace {

class MonitorSettingsTest : public ::testing::Test {
protected:
    std::string IniFile() const { return (dir / "Velmora.ini").string(); }
    TempDir dir;
};

TEST_F(MonitorSettingsTest, FreshUserWatchesTheMonitorFolderBesideTheProgram)
{
    SettingsStore store(IniFile());
    const MonitorSettings settings = MonitorSettings::Read(store);
    EXPECT_EQ(settings.directory, (BinDir() / "Monitor").string());
    EXPECT_TRUE(settings.enabled);
}

struct SwitchCase {
    const char* stored;
    bool enabled;
};

void PrintTo(const SwitchCase& c, std::ostream* os)
{
    *os << '"' << c.stored << '"';
}

class MonitorSwitchTest : public MonitorSettingsTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(MonitorSwitchTest, SwitchIsOnForAnyNonZeroNumberAndWhenMalformed)
{
    {
        SettingsStore store(IniFile());
        store.WriteString(SettingsStore::kSettings, "Background Monitor", GetParam().stored);
    }
    SettingsStore store(IniFile());
    EXPECT_EQ(MonitorSettings::Read(store).enabled, GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(StoredValues, MonitorSwitchTest,
                         ::testing::Values(SwitchCase{"0", false}, SwitchCase{"1", true}, SwitchCase{"2", true},
                                           SwitchCase{"off", true}, SwitchCase{"", true}));

TEST_F(MonitorSettingsTest, WrittenSettingsReadBackFromTheFile)
{
    {
        SettingsStore store(IniFile());
        MonitorSettings{"/home/user/Drop Box", false}.Write(store);
    }
    SettingsStore store(IniFile());
    EXPECT_EQ(store.ReadString(SettingsStore::kSettings, "Background Monitor", "?"), "0");
    const MonitorSettings settings = MonitorSettings::Read(store);
    EXPECT_EQ(settings.directory, "/home/user/Drop Box");
    EXPECT_FALSE(settings.enabled);
}

} // namespace
} // namespace velmora::test
