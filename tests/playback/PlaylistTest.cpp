// The play list's rules without a player: placing, moving and removing entries with
// the current entry kept, and which entry plays next in order, shuffled, repeated.
#include "playback/Playlist.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace velmora {
namespace {

// Records what the play list asked of the player; the end of an item is set by hand.
class RecordingPlayer : public PlaylistPlayer {
public:
    void ShowPlayingPage() override { ++pageShown; }
    void RefreshPlayerFocus() override {}
    void PlayCurrentEntry(int recIdent) override
    {
        played.push_back(recIdent);
        ended = false;
    }
    void StopForChoice() override
    {
        ++stopsForChoice;
        ended = false;
    }
    void PlayChosenEntry(int recIdent) override
    {
        played.push_back(recIdent);
        ended = false;
    }
    void StopAndClearPlayer() override { ++stopsAndClears; }
    bool MediaEnded() const override { return ended; }
    // The items in `failing` end as failed.
    bool MediaFailed() const override { return !played.empty() && failing.count(played.back()) > 0; }

    std::vector<int> played;
    std::set<int> failing;
    bool ended = false;
    int pageShown = 0;
    int stopsForChoice = 0;
    int stopsAndClears = 0;
};

// Draws from a script; after it runs out, always the last number again.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::deque<int> draws = {0}) : m_draws(std::move(draws)) {}
    void Randomize() override { ++seeded; }
    int Below(int count) override
    {
        const int draw = m_draws.front();
        if (m_draws.size() > 1)
            m_draws.pop_front();
        EXPECT_LT(draw, count);
        return draw;
    }
    int seeded = 0;

private:
    std::deque<int> m_draws;
};

// The advance timer is a real timer: it needs an application object.
void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "playlist_rules_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

// Entries A, B, C, ... with rec_ident 1, 2, 3, ...
struct Fixture {
    explicit Fixture(int entries, std::deque<int> draws = {0}) : random((EnsureApplication(), std::move(draws)))
    {
        for (int i = 0; i < entries; ++i)
            list.Insert(list.Count() - 1, std::string(1, static_cast<char>('A' + i)), i + 1);
    }
    std::string Order() const
    {
        std::string order;
        for (const PlaylistEntry& entry : list.Entries())
            order += entry.caption;
        return order;
    }
    std::string CurrentCaption() const
    {
        const int current = list.CurrentPlaylistIndex();
        return current < list.Count() ? list.Entry(current).caption : std::string("past the end");
    }
    // The end of the playing item, as the advance timer sees it.
    void EndItem()
    {
        ASSERT_TRUE(list.plTimer.isActive()) << "the advance timer is off: nothing would follow";
        player.ended = true;
        list.plTimerTimer();
    }

    RecordingPlayer player;
    ScriptedRandom random;
    Playlist list{player, random};
};

TEST(PlaylistRows, NumbersKeepCaptionsAligned)
{
    EXPECT_EQ(PlaylistRowText(0, "song"), "1.   song");
    EXPECT_EQ(PlaylistRowText(8, "song"), "9.   song");
    EXPECT_EQ(PlaylistRowText(9, "song"), "10.  song");
    EXPECT_EQ(PlaylistRowText(98, "song"), "99.  song");
    EXPECT_EQ(PlaylistRowText(99, "song"), "100. song");
    EXPECT_EQ(PlaylistRowText(9999, ""), "10000. ");
}

TEST(PlaylistRows, TheLegacyPlayerLeavesPicturesOut)
{
    for (const char* picture : {"a.gif", "b.JPG", "c.bmp", "d.jpeg", "e.WMF"}) {
        EXPECT_FALSE(AddableToPlaylist(picture, true)) << picture;
        EXPECT_TRUE(AddableToPlaylist(picture, false)) << picture;
    }
    for (const char* other : {"f.mp3", "g.avi", "h.emf", "i", "j.jpg.mp3"})
        EXPECT_TRUE(AddableToPlaylist(other, true)) << other;
}

TEST(PlaylistInsert, PlacesAfterThePositionOrAppends)
{
    Fixture f(0);
    EXPECT_EQ(f.list.Insert(-1, "A", 1), 0);   // empty list: count - 1 is -1
    EXPECT_EQ(f.list.Insert(0, "B", 2), 1);
    EXPECT_EQ(f.list.Insert(0, "C", 3), 1);    // after A
    EXPECT_EQ(f.list.Insert(2, "D", 4), 3);    // after the last: appended
    EXPECT_EQ(f.list.Insert(99, "E", 5), 4);   // past the end: appended
    EXPECT_EQ(f.Order(), "ACBDE");
    for (const PlaylistEntry& entry : f.list.Entries())
        EXPECT_FALSE(entry.played);
}

TEST(PlaylistInsert, AnEntryPutInBeforeTheCurrentOneKeepsItCurrent)
{
    struct Case {
        int position;
        const char* order;
    };
    for (const Case& c : {Case{-1, "ABCDX"}, Case{0, "AXBCD"}, Case{1, "ABXCD"}, Case{2, "ABCXD"}, Case{3, "ABCDX"}}) {
        Fixture f(4);
        f.list.SetCurrentPlaylistIndex(2);   // C
        f.list.Insert(c.position, "X", 9);
        EXPECT_EQ(f.Order(), c.order);
        EXPECT_EQ(f.CurrentCaption(), "C") << "inserted after position " << c.position;
    }
}

TEST(PlaylistMove, TheMovedEntryLandsAfterTheRowDroppedOnAndTheCurrentEntryStays)
{
    struct Case {
        int from, onto, current;
        const char* order;
        int moved;   // -1: nothing moves
        int currentAfter;
    };
    const Case cases[] = {
        {0, 2, 0, "BCAD", 2, 2},    // A onto C
        {3, 1, 0, "ABDC", 2, 0},    // D onto B
        {0, 2, 3, "BCAD", 2, 3},
        {1, 1, 0, "ABCD", -1, 0},   // onto itself
        {1, -1, 0, "ABCD", -1, 0},  // onto no row
        {1, 4, 0, "ABCD", -1, 0},
        {2, 1, 2, "ABCD", 2, 2},    // onto the row above it: stays
        {3, 0, 1, "ADBC", 1, 2},    // below the current one to above it
        {0, 3, 2, "BCDA", 3, 1},    // above the current one to below it
    };
    for (const Case& c : cases) {
        Fixture f(4);
        f.list.SetCurrentPlaylistIndex(c.current);
        const std::optional<int> moved = f.list.Move(c.from, c.onto);
        EXPECT_EQ(f.Order(), c.order) << c.from << " onto " << c.onto;
        EXPECT_EQ(moved.value_or(-1), c.moved) << c.from << " onto " << c.onto;
        EXPECT_EQ(f.list.CurrentPlaylistIndex(), c.currentAfter) << c.from << " onto " << c.onto;
    }
    // The described case: [A, B, C] with C current, A dragged below C.
    Fixture f(3);
    f.list.SetCurrentPlaylistIndex(2);
    f.list.Move(0, 2);
    EXPECT_EQ(f.Order(), "BCA");
    EXPECT_EQ(f.list.CurrentPlaylistIndex(), 1);
}

TEST(PlaylistMove, EveryMoveOfFiveEntriesKeepsTheCurrentEntryAndTheMarks)
{
    for (int current = 0; current < 5; ++current) {
        for (int from = 0; from < 5; ++from) {
            for (int onto = 0; onto < 5; ++onto) {
                Fixture f(5);
                f.list.SetCurrentPlaylistIndex(current);
                const std::string before = f.CurrentCaption();
                const std::string moving = f.list.Entry(from).caption;
                f.player.played.clear();
                f.list.PlayRandomItem();   // marks entry 0 (draw 0)
                f.list.SetCurrentPlaylistIndex(current);
                const std::optional<int> moved = f.list.Move(from, onto);
                ASSERT_EQ(f.CurrentCaption(), before) << from << " onto " << onto << ", current " << current;
                ASSERT_TRUE(f.list.Entry(moved.value_or(from)).caption == moving);
                if (moved && from != onto) {
                    ASSERT_EQ(*moved, from < onto ? onto : onto + 1);
                }
                for (const PlaylistEntry& entry : f.list.Entries())
                    ASSERT_EQ(entry.played, entry.caption == "A") << "a mark moves with its entry";
            }
        }
    }
}

TEST(PlaylistRemove, AboveAtAndBelowTheCurrentEntry)
{
    struct Case {
        int removed;
        const char* order;
        const char* currentAfter;
    };
    for (const Case& c : {Case{0, "BCD", "B"}, Case{1, "ACD", "C"}, Case{2, "ABD", "B"}, Case{3, "ABC", "B"},
                          Case{-1, "ABCD", "B"}, Case{4, "ABCD", "B"}}) {
        Fixture f(4);
        f.list.SetCurrentPlaylistIndex(1);   // B
        f.list.Remove(c.removed);
        EXPECT_EQ(f.Order(), c.order);
        EXPECT_EQ(f.CurrentCaption(), c.currentAfter) << "removed " << c.removed;
    }
    // Removing the playing entry does not stop it; the current index names the last
    // row's follower: past the end.
    Fixture f(2);
    f.list.SetCurrentPlaylistIndex(1);
    f.list.PlayPlaylist();
    f.list.Remove(1);
    EXPECT_EQ(f.CurrentCaption(), "past the end");
    EXPECT_EQ(f.player.stopsAndClears, 0);
    EXPECT_TRUE(f.list.PlaylistActive());
}

TEST(PlaylistPlay, InOrderWithoutRepeatEndsInactiveAtTheFirstEntry)
{
    Fixture f(3);
    f.list.PlayPlaylist();
    EXPECT_TRUE(f.list.PlaylistActive());
    EXPECT_EQ(f.player.pageShown, 1);
    f.EndItem();
    f.EndItem();
    f.EndItem();
    EXPECT_EQ(f.player.played, (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(f.list.PlaylistActive());
    EXPECT_EQ(f.list.CurrentPlaylistIndex(), 0);
    EXPECT_EQ(f.player.stopsAndClears, 1);
    EXPECT_FALSE(f.list.plTimer.isActive());
}

TEST(PlaylistPlay, InOrderWithRepeatStartsAgainAtTheFirstEntry)
{
    Fixture f(2);
    f.list.PlaylistRepeat = true;
    f.list.PlayPlaylist();
    for (int i = 0; i < 4; ++i)
        f.EndItem();
    EXPECT_EQ(f.player.played, (std::vector<int>{1, 2, 1, 2, 1}));
    EXPECT_TRUE(f.list.PlaylistActive());
}

TEST(PlaylistPlay, TheTimerWaitsForTheEndAndStopsWhenTheListGoesOff)
{
    Fixture f(2);
    f.list.PlayPlaylist();
    f.list.plTimerTimer();   // still playing
    EXPECT_EQ(f.player.played, (std::vector<int>{1}));
    EXPECT_TRUE(f.list.plTimer.isActive());
    f.list.SetPlaylistActive(false);
    f.player.ended = true;
    f.list.plTimerTimer();
    EXPECT_EQ(f.player.played, (std::vector<int>{1}));
    EXPECT_FALSE(f.list.plTimer.isActive());
}

// Items that fail end like any other and the list goes on past them; a list that would
// only go round failing items stops.
TEST(PlaylistPlay, FailedItemsArePassedOverAndAListOfNothingButFailuresStops)
{
    struct Case {
        const char* name;
        std::set<int> failing;
        bool repeat;
        bool shuffle;
        int ends;                      // items ended by the test
        std::vector<int> played;
        bool activeAfter;
    };
    const Case cases[] = {
        {"one bad item among good ones, repeat", {2}, true, false, 4, {1, 2, 3, 1, 2}, true},
        {"every item bad, repeat", {1, 2, 3}, true, false, 3, {1, 2, 3}, false},
        {"every item bad after a good start, repeat", {2, 3}, true, false, 5, {1, 2, 3, 1, 2, 3}, true},
        {"every item bad, shuffle with repeat", {1, 2, 3}, true, true, 3, {1, 2, 3}, false},
        {"every item bad, no repeat", {1, 2, 3}, false, false, 3, {1, 2, 3}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Fixture f(3, {0});
        f.list.PlaylistRepeat = c.repeat;
        f.list.PlaylistShuffle = c.shuffle;
        f.player.failing = c.failing;
        f.list.PlayPlaylist();
        for (int i = 0; i < c.ends && f.list.PlaylistActive(); ++i)
            f.EndItem();
        EXPECT_EQ(f.player.played, c.played);
        EXPECT_EQ(f.list.PlaylistActive(), c.activeAfter);
    }
}

TEST(PlaylistPlay, StartsAtTheCurrentEntryOrTheFirstWhenThatIsGone)
{
    Fixture f(3);
    f.list.SetCurrentPlaylistIndex(1);
    f.list.PlayPlaylist();
    f.list.SetCurrentPlaylistIndex(5);
    f.list.PlayPlaylist();
    EXPECT_EQ(f.player.played, (std::vector<int>{2, 1}));

    Fixture empty(0);
    empty.list.PlayPlaylist();
    EXPECT_FALSE(empty.list.PlaylistActive());
    EXPECT_EQ(empty.player.pageShown, 0);
}

TEST(PlaylistPlay, NextAndPreviousActOnlyWhileTheListIsOn)
{
    Fixture f(3);
    f.list.PlayNextItem();
    f.list.PlayPreviousItem();
    EXPECT_TRUE(f.player.played.empty());
    EXPECT_EQ(f.list.CurrentPlaylistIndex(), 0);

    f.list.PlayPlaylist();
    f.list.PlayPreviousItem();   // at the first entry: it plays again
    f.list.PlayNextItem();
    f.list.PlayNextItem();
    f.list.PlayPreviousItem();
    EXPECT_EQ(f.player.played, (std::vector<int>{1, 1, 2, 3, 2}));
}

TEST(PlaylistPlay, PreviousOnAnEmptyListSwitchesItOff)
{
    Fixture f(1);
    f.list.PlayPlaylist();
    f.list.Remove(0);
    f.list.PlayPreviousItem();
    EXPECT_FALSE(f.list.PlaylistActive());
    EXPECT_EQ(f.player.stopsAndClears, 1);
}

TEST(PlaylistShuffle, TheSearchGoesForwardThenBackFromTheDraw)
{
    struct Case {
        std::vector<bool> marks;
        int draw;
        int chosen;
    };
    const Case cases[] = {
        {{false, false, false, false}, 2, 2},
        {{false, false, true, false}, 2, 3},
        {{false, true, true, true}, 1, 0},
        {{true, false, true, true}, 3, 1},
        {{true, true, false, true}, 0, 2},
    };
    for (const Case& c : cases) {
        // Marks are made by picks: draw each marked entry in turn, then the case's draw.
        std::deque<int> draws;
        for (std::size_t i = 0; i < c.marks.size(); ++i)
            if (c.marks[i])
                draws.push_back(static_cast<int>(i));
        draws.push_back(c.draw);
        Fixture g(4, draws);
        for (std::size_t i = 0; i < draws.size(); ++i)
            g.list.PlayRandomItem();
        EXPECT_EQ(g.list.CurrentPlaylistIndex(), c.chosen) << "draw " << c.draw;
        EXPECT_TRUE(g.list.Entry(c.chosen).played);
    }
}

TEST(PlaylistShuffle, WithoutRepeatEachEntryPlaysOnceThenTheListStopsStillOn)
{
    // Draws that keep hitting played entries must still reach every entry once.
    Fixture f(3, {1, 1, 1, 0});
    f.list.PlaylistShuffle = true;
    f.list.PlayPlaylist();
    EXPECT_EQ(f.random.seeded, 1);
    f.EndItem();
    f.EndItem();
    f.EndItem();
    std::vector<int> played = f.player.played;
    ASSERT_EQ(played.size(), 3U);
    std::sort(played.begin(), played.end());
    EXPECT_EQ(played, (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(f.list.PlaylistActive());
    EXPECT_FALSE(f.list.plTimer.isActive());
    EXPECT_EQ(f.player.stopsAndClears, 0);
    EXPECT_EQ(f.player.stopsForChoice, 4);
}

TEST(PlaylistShuffle, WithRepeatNeverStopsAndStartsANewPass)
{
    Fixture f(3, {2});
    f.list.PlaylistShuffle = true;
    f.list.PlaylistRepeat = true;
    f.list.PlayPlaylist();
    for (int i = 0; i < 9; ++i)
        f.EndItem();
    EXPECT_EQ(f.player.played.size(), 10U);
    EXPECT_TRUE(f.list.plTimer.isActive());
    // Draw 2 every time: the pass plays 3, 2, 1, then the new pass may repeat the
    // entry just played.
    EXPECT_EQ(std::vector<int>(f.player.played.begin(), f.player.played.begin() + 4),
              (std::vector<int>{3, 2, 1, 3}));
    EXPECT_GE(f.random.seeded, 3);   // at the start and at every new pass
}

TEST(PlaylistShuffle, PlayingTheListAgainClearsTheMarks)
{
    Fixture f(2, {0});
    f.list.PlaylistShuffle = true;
    f.list.PlayPlaylist();
    f.EndItem();
    f.EndItem();   // the pass is over
    f.list.PlayPlaylist();
    EXPECT_EQ(f.player.played, (std::vector<int>{1, 2, 1}));
}

TEST(PlaylistClear, RemoveAllSwitchesOffAndEmpties)
{
    Fixture f(3);
    f.list.PlayPlaylist();
    f.list.PlayNextItem();
    f.list.Clear();
    EXPECT_EQ(f.list.Count(), 0);
    EXPECT_EQ(f.list.CurrentPlaylistIndex(), 0);
    EXPECT_FALSE(f.list.PlaylistActive());
    EXPECT_EQ(f.player.stopsAndClears, 1);
}

} // namespace
} // namespace velmora
