// The slideshow's walk through the pictures of a list and its packed options, without
// a window.
#include "playback/Slideshow.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace velmora {
namespace {

// A list of rows, pictures where the pattern has 'P' (anything else is not); selected
// rows as given.
class FakeList : public SlideshowList {
public:
    FakeList(std::string pattern, std::set<int> chosen) : selected(std::move(chosen)), m_pattern(std::move(pattern)) {}
    int Count() const override { return static_cast<int>(m_pattern.size()); }
    bool IsPicture(int row) const override { return m_pattern.at(static_cast<std::size_t>(row)) == 'P'; }
    bool IsSelected(int row) const override { return selected.count(row) != 0; }
    int SelectedRow() const override { return selected.empty() ? -1 : *selected.begin(); }
    void Select(int row) override
    {
        ASSERT_GE(row, 0);
        ASSERT_LT(row, Count());
        selected.insert(row);
    }
    void Deselect(int row) override { selected.erase(row); }

    std::set<int> selected;

private:
    std::string m_pattern;
};

// Pictures at rows 2, 5 and 7.
constexpr const char* kPattern = "mmPmaPmPa";

TEST(SlideshowWalk, StartsAtTheFirstSelectedPictureAndClearsEveryOtherSelection)
{
    struct Case {
        std::set<int> selected;
        int number;
        int row;
    };
    for (const Case& c : {Case{{5}, 2, 5}, Case{{}, 1, 2}, Case{{0, 1, 7, 8}, 3, 7}, Case{{0, 5, 7}, 2, 5},
                          Case{{3}, 1, 2}}) {
        FakeList list(kPattern, c.selected);
        Slideshow show;
        ASSERT_TRUE(show.Start(list));
        EXPECT_EQ(show.SlideshowNumber, c.number);
        EXPECT_EQ(list.selected, std::set<int>{c.row});
        EXPECT_EQ(show.SlideshowFirstIndex, 2);
        EXPECT_EQ(show.SlideshowLastIndex, 7);
        EXPECT_EQ(show.ImageCount, 3);
    }
    FakeList noPictures("mma", {1});
    Slideshow show;
    EXPECT_FALSE(show.Start(noPictures));
    EXPECT_TRUE(noPictures.selected.empty());
}

TEST(SlideshowWalk, NextAndPreviousWithAndWithoutRepeat)
{
    struct Step {
        bool next;
        Slideshow::Step result;
        int number;
        int row;   // -1: nothing selected
    };
    struct Case {
        bool repeat;
        std::vector<Step> steps;
    };
    using S = Slideshow::Step;
    const Case cases[] = {
        {true, {{true, S::Shown, 3, 7}, {true, S::Shown, 1, 2}, {false, S::Shown, 3, 7}, {false, S::Shown, 2, 5}}},
        {false, {{true, S::Shown, 3, 7}, {true, S::Close, 3, -1}}},
        {false, {{false, S::Shown, 1, 2}, {false, S::Close, 1, 2}}},
        {true, {{false, S::Shown, 1, 2}, {false, S::Shown, 3, 7}, {true, S::Shown, 1, 2}}},
    };
    for (const Case& c : cases) {
        FakeList list(kPattern, {5});
        Slideshow show;
        show.SlideshowRepeat = c.repeat;
        ASSERT_TRUE(show.Start(list));
        int i = 0;
        for (const Step& step : c.steps) {
            const S result = step.next ? show.Next(list) : show.Previous(list);
            EXPECT_EQ(result, step.result) << "step " << i << (c.repeat ? " with" : " without") << " repeat";
            EXPECT_EQ(show.SlideshowNumber, step.number) << "step " << i;
            EXPECT_EQ(list.SelectedRow(), step.row) << "step " << i;
            EXPECT_LE(list.selected.size(), 1U);
            ++i;
        }
    }
}

TEST(SlideshowOptionsRow, PackedDelayRepeatAndColour)
{
    struct Case {
        std::optional<std::int64_t> packed;
        std::optional<std::int64_t> colour;
        bool repeat;
        int intervalMs;
        std::uint32_t background;
    };
    const Case cases[] = {
        {0x1E0000, 0x00FF0000, false, 30000, 0x00FF0000},   // 30 s, no repeat, blue
        {0x3C0001, 0, true, 60000, 0},                      // black is a colour
        {0, std::nullopt, true, 5000, 0xFFFFFF},            // 0 and unreadable: the defaults
        {std::nullopt, 0x123456, true, 5000, 0x123456},
        {0x00001, 0x80FFFFFF, true, 0, 0xFFFFFF},            // delay 0: the timer never fires
        {0xFFFF0000, 0, false, 65535000, 0},
    };
    for (const Case& c : cases) {
        const SlideshowOptions options = UnpackSlideshowOptions(c.packed, c.colour);
        EXPECT_EQ(options.repeat, c.repeat);
        EXPECT_EQ(options.IntervalMs(), c.intervalMs);
        EXPECT_EQ(options.colour, c.background);
    }
}

} // namespace
} // namespace velmora
