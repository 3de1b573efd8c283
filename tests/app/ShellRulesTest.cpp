// The main window's rules that need no widget: status line texts, action enabling and
// captions, window placement in the settings store.
#include "app/ActionRules.h"
#include "app/StatusLine.h"
#include "app/WindowPlacement.h"
#include "catalogue/ItemRows.h"
#include "platform/SettingsStore.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace velmora;
using velmora::test::TempDir;

namespace {

struct StatusCase {
    const char* name;
    ItemCounters counters;
    int selected;
    StatusLineTexts expected;
};

void PrintTo(const StatusCase& c, std::ostream* os)
{
    *os << c.name;
}

class StatusLineTest : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusLineTest, TextsSlideshowButtonAndSaveToDisk)
{
    const StatusCase& c = GetParam();
    const StatusLineTexts texts = StatusLineFor(c.counters, c.selected);
    EXPECT_EQ(texts.items, c.expected.items);
    EXPECT_EQ(texts.movies, c.expected.movies);
    EXPECT_EQ(texts.audio, c.expected.audio);
    EXPECT_EQ(texts.images, c.expected.images);
    EXPECT_EQ(texts.slideshowVisible, c.expected.slideshowVisible);
    EXPECT_EQ(texts.saveToDiskEnabled, c.expected.saveToDiskEnabled);
}

// counters are {images, movies, audio, unknown}
INSTANTIATE_TEST_SUITE_P(
    Listings, StatusLineTest,
    ::testing::Values(
        StatusCase{"empty", {0, 0, 0, 0}, 0, {"0 Items", "0 movies", "0 audio", "0 images", false, false}},
        StatusCase{"oneMovie", {0, 1, 0, 0}, 0, {"1 Item", "1 movie", "0 audio", "0 images", false, false}},
        StatusCase{"oneAudio", {0, 0, 1, 0}, 1, {"1 Item", "0 movies", "1 audio", "0 images", false, true}},
        StatusCase{"oneImage", {1, 0, 0, 0}, 0, {"1 Item", "0 movies", "0 audio", "1 image", true, false}},
        StatusCase{"unknownCountsOnlyInTotal", {0, 0, 0, 1}, 0, {"1 Item", "0 movies", "0 audio", "0 images", false, false}},
        StatusCase{"mixed", {2, 3, 2, 1}, 3, {"8 Items", "3 movies", "2 audio", "2 images", true, true}}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

struct RuleCase {
    const char* name;
    ShellSelection selection;
    // addToCategory, categoryRules (add sub/rename/delete), removeFromCategory,
    // itemRules (delete/export/save/print), changeDescription, paste, exportCategory
    bool addToCategory, categoryRules, removeFromCategory, itemRules, changeDescription, paste, exportCategory;
    const char* renameCaption;
    const char* deleteCaption;
};

void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << c.name;
}

class ActionRulesTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ActionRulesTest, EnablingAndCaptions)
{
    const RuleCase& c = GetParam();
    const ActionStates s = EvaluateActionRules(c.selection);
    EXPECT_EQ(s.addToCategory, c.addToCategory);
    EXPECT_EQ(s.addSubcategory, c.categoryRules);
    EXPECT_EQ(s.renameCategory, c.categoryRules);
    EXPECT_EQ(s.deleteCategory, c.categoryRules);
    EXPECT_EQ(s.removeFromCategory, c.removeFromCategory);
    EXPECT_EQ(s.deleteFiles, c.itemRules);
    EXPECT_EQ(s.fileExport, c.itemRules);
    EXPECT_EQ(s.saveToDisk, c.itemRules);
    EXPECT_EQ(s.print, c.itemRules);
    EXPECT_EQ(s.changeDescription, c.changeDescription);
    EXPECT_EQ(s.paste, c.paste);
    EXPECT_EQ(s.exportCategory, c.exportCategory);
    EXPECT_EQ(s.renameCategoryCaption, c.renameCaption);
    EXPECT_EQ(s.deleteCategoryCaption, c.deleteCaption);
}

INSTANTIATE_TEST_SUITE_P(
    Selections, ActionRulesTest,
    ::testing::Values(
        RuleCase{"nothingSelected", {std::nullopt, false, 0, false},
                 false, false, false, false, false, false, false,
                 "Rename Category / Subcategory", "Delete Category / Subcategory"},
        RuleCase{"searchResultWithItems", {std::nullopt, false, 2, true},
                 false, false, false, true, false, true, false,
                 "Rename Category / Subcategory", "Delete Category / Subcategory"},
        RuleCase{"unclassifiedWithOneItem", {0, false, 1, false},
                 true, false, false, true, true, false, true, "Rename Category", "Delete Category"},
        RuleCase{"topLevelCategoryNoItems", {7, false, 0, false},
                 true, true, false, false, false, false, true, "Rename Category", "Delete Category"},
        RuleCase{"subcategoryWithTwoItems", {9, true, 2, false},
                 true, true, true, true, false, false, true, "Rename Subcategory", "Delete Subcategory"}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

TEST(WindowPlacementTest, DefaultsWhenTheScreenSectionIsEmptyOrMalformed)
{
    TempDir dir;
    SettingsStore store((dir / "Velmora.ini").string());
    EXPECT_EQ(WindowPlacement::Read(store), (WindowPlacement{100, 100, 800, 600, false}));

    store.WriteString(SettingsStore::kScreen, "Top", "abc");
    store.WriteString(SettingsStore::kScreen, "Width", "");
    store.WriteString(SettingsStore::kScreen, "Maximized", "yes");
    EXPECT_EQ(WindowPlacement::Read(store), (WindowPlacement{100, 100, 800, 600, false}));
}

TEST(WindowPlacementTest, WrittenAsDecimalStringsAndReadBack)
{
    TempDir dir;
    const std::string file = (dir / "Velmora.ini").string();
    {
        SettingsStore store(file);
        WindowPlacement{-20, 35, 1024, 700, true}.Write(store);
    }
    SettingsStore store(file);
    EXPECT_EQ(store.ReadString(SettingsStore::kScreen, "Top", ""), "-20");
    EXPECT_EQ(store.ReadString(SettingsStore::kScreen, "Left", ""), "35");
    EXPECT_EQ(store.ReadString(SettingsStore::kScreen, "Width", ""), "1024");
    EXPECT_EQ(store.ReadString(SettingsStore::kScreen, "Height", ""), "700");
    EXPECT_EQ(store.ReadString(SettingsStore::kScreen, "Maximized", ""), "1");
    EXPECT_EQ(WindowPlacement::Read(store), (WindowPlacement{-20, 35, 1024, 700, true}));
}

} // namespace
