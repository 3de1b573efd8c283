// The player's rules without a player: play states, times and bars, the legacy
// volume, player version detection and the player choice's questions.
#include "platform/MachineInfo.h"
#include "playback/PlayStates.h"
#include "playback/PlayerChoice.h"
#include "playback/PlayerScales.h"
#include "playback/PlayerVersion.h"

#include "platform/PlatformTestSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace velmora {
namespace {

using P = MediaPlayback;
using S = MediaStatus;

struct StateCase {
    P playback;
    S status;
    std::optional<int> modern;
    const char* modernText;   // nullptr: no change
    std::optional<PlayerMenuChecks> checks;
    bool modernEnds;
    std::optional<int> legacy;
    const char* legacyText;
    bool legacyEnds;
};

constexpr PlayerMenuChecks kStopMark{true, false, false};
constexpr PlayerMenuChecks kPlayMark{false, true, false};
constexpr PlayerMenuChecks kPauseMark{false, false, true};

TEST(PlayStateTable, QtConditionsBecomeTheControlsStatesTextsMarksAndEnds)
{
    const StateCase cases[] = {
        {P::Stopped, S::Loading, 9, "Busy Please Wait ...", std::nullopt, false, 3, "Buffering ...", false},
        {P::Playing, S::Loading, 9, "Busy Please Wait ...", std::nullopt, false, 3, "Buffering ...", false},
        {P::Playing, S::Loaded, 3, "Playing", kPlayMark, false, 2, "Playing", false},
        {P::Playing, S::Buffered, 3, "Playing", kPlayMark, false, 2, "Playing", false},
        {P::Playing, S::Buffering, 6, "Buffering ...", std::nullopt, false, 3, "Buffering ...", false},
        {P::Playing, S::Stalled, 7, "Waiting ...", std::nullopt, false, 3, "Buffering ...", false},
        {P::Paused, S::Buffered, 2, "Paused", kPauseMark, false, 1, "Paused", false},
        {P::Paused, S::Stalled, 2, "Paused", kPauseMark, false, 1, "Paused", false},
        // A stop: the legacy control's stop also reads as the end of the item.
        {P::Stopped, S::Loaded, 1, "Stopped", kStopMark, false, 0, "Stopped", true},
        {P::Stopped, S::EndOfMedia, 8, "Media Ended", kStopMark, true, 4, "Media Ended", true},
        {P::Stopped, S::NoMedia, 10, "Ready", std::nullopt, false, std::nullopt, nullptr, false},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "playback " << int(c.playback) << ", status " << int(c.status));
        const PlayerStateNumbers numbers = MapPlayerState(c.playback, c.status);
        EXPECT_FALSE(numbers.error);
        ASSERT_EQ(numbers.modern, c.modern);
        ASSERT_EQ(numbers.legacy, c.legacy);

        const PlayStateEffect modern = ModernPlayStateEffect(*c.modern);
        ASSERT_TRUE(modern.text.has_value());
        EXPECT_EQ(*modern.text, c.modernText);
        EXPECT_EQ(modern.checks, c.checks);
        EXPECT_EQ(modern.mediaEnded, c.modernEnds);
        EXPECT_EQ(modern.playing, *c.modern == modern_state::kPlaying);
        EXPECT_EQ(modern.clearCaption, *c.modern == modern_state::kStopped);

        if (c.legacy) {
            const PlayStateEffect legacy = LegacyPlayStateEffect(*c.legacy);
            ASSERT_TRUE(legacy.text.has_value());
            EXPECT_EQ(*legacy.text, c.legacyText);
            EXPECT_EQ(legacy.mediaEnded, c.legacyEnds);
            EXPECT_FALSE(legacy.checks.has_value()) << "the legacy control leaves the menu alone";
            EXPECT_EQ(legacy.playing, *c.legacy == legacy_state::kPlaying);
        }
    }
}

TEST(PlayStateTable, InvalidMediaIsAnErrorAndNoState)
{
    for (P playback : {P::Stopped, P::Playing, P::Paused}) {
        const PlayerStateNumbers numbers = MapPlayerState(playback, S::Invalid);
        EXPECT_TRUE(numbers.error);
        EXPECT_FALSE(numbers.modern.has_value());
        EXPECT_FALSE(numbers.legacy.has_value());
    }
}

TEST(PlayStateTable, StatesQtNeverReportsStillHaveTheirTextsAndUnknownOnesChangeNothing)
{
    EXPECT_EQ(ModernPlayStateEffect(4).text, "Scan Forward");
    EXPECT_EQ(ModernPlayStateEffect(5).text, "Scan Backward");
    EXPECT_EQ(ModernPlayStateEffect(11).text, "Reconnecting");
    for (int unknown : {0, 12, -1}) {
        const PlayStateEffect effect = ModernPlayStateEffect(unknown);
        EXPECT_FALSE(effect.text || effect.checks || effect.mediaEnded || effect.playing) << unknown;
    }
    for (int unknown : {5, -1}) {
        const PlayStateEffect effect = LegacyPlayStateEffect(unknown);
        EXPECT_FALSE(effect.text || effect.mediaEnded || effect.playing) << unknown;
    }
}

TEST(PlayerScales, FormatPlayTimeRoundsHalvesToEvenAndHasNoHourField)
{
    const std::pair<double, const char*> cases[] = {
        {7, "00:07"}, {605, "10:05"}, {3725, "62:05"}, {59.5, "01:00"}, {58.5, "00:58"}, {0, "00:00"},
        {0.5, "00:00"}, {1.5, "00:02"}, {59.49, "00:59"}, {6000, "100:00"}, {-3, "00:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(FormatPlayTime(seconds), text) << seconds;
}

TEST(PlayerScales, PositionBarFollowsTheDurationAndIsNoneWithoutOne)
{
    EXPECT_EQ(PositionBarValue(5, 10), 5000);
    EXPECT_EQ(PositionBarValue(0, 10), 0);
    EXPECT_EQ(PositionBarValue(10, 10), 10000);
    EXPECT_EQ(PositionBarValue(1, 20000), 0);        // 0.5 goes to the even 0
    EXPECT_EQ(PositionBarValue(5, 8), 6250);
    EXPECT_EQ(PositionBarValue(30, 10), 10000);      // past the 10 s stand-in length
    EXPECT_EQ(PositionBarValue(5, 0), std::nullopt);
    EXPECT_EQ(PositionBarValue(5, -1), std::nullopt);
    EXPECT_DOUBLE_EQ(BarPosition(120, 2500), 30);
}

TEST(PlayerScales, LegacyVolumeIsInHundredthsOfADecibel)
{
    const std::pair<int, int> cases[] = {{0, -9640}, {50, -4820}, {100, 0}, {1, -9544}};
    for (const auto& [slider, volume] : cases)
        EXPECT_EQ(LegacyVolume(slider), volume) << slider;
}

// ---- player version detection ----

constexpr const char* kModern = "[{6BF52A52-394A-11d3-B153-00C04F79FAA6}]\n";
constexpr const char* kLegacy = "[{22d6f312-b0f6-11d0-94ab-0080c74c7e95}]\n";

int Detect(const std::string& ini)
{
    return DetectPlayerVersion(MachineInfo::FromIniText(ini));
}

TEST(PlayerVersionDetection, TakesTheModernPlayersMajorVersionElseTheLegacyOnes)
{
    const std::pair<std::string, int> cases[] = {
        {std::string(kModern) + "IsInstalled=1\nVersion=9,0,0,2980\n", 9},
        {std::string(kModern) + "IsInstalled=1\nVersion=10,0,0,1\n" + kLegacy + "IsInstalled=1\nVersion=7,0,0,0\n", 10},
        // No comma: 0, and the legacy player decides.
        {std::string(kModern) + "IsInstalled=1\nVersion=12\n" + kLegacy + "IsInstalled=1\nVersion=7,1,0,3055\n", 7},
        {std::string(kModern) + "IsInstalled=1\nVersion=12\n", 0},
        {std::string(kModern) + "IsInstalled=1\nVersion=x,0,0,0\n" + kLegacy + "IsInstalled=1\nVersion=6,4,0,0\n", 6},
        {std::string(kModern) + "IsInstalled=0\nVersion=9,0,0,0\n" + kLegacy + "IsInstalled=1\nVersion=7,0,0,0\n", 7},
        {std::string(kLegacy) + "IsInstalled=1\nVersion=7,0,0,0\n", 7},
        {std::string(kLegacy) + "IsInstalled=0\nVersion=7,0,0,0\n", 0},
        {"", 0},                                                           // neither
        // Class identifiers compare without case, as the registry's keys do.
        {"[{6bf52a52-394a-11D3-b153-00c04f79faa6}]\n IsInstalled = 1 \nVERSION=9,0,0,0\n", 9},
        // A value missing or of the wrong kind ends the detection with 0.
        {std::string(kModern) + "Version=9,0,0,0\n" + kLegacy + "IsInstalled=1\nVersion=7,0,0,0\n", 0},
        {std::string(kModern) + "IsInstalled=yes\nVersion=9,0,0,0\n" + kLegacy + "IsInstalled=1\nVersion=7,0,0,0\n", 0},
        {std::string(kModern) + "IsInstalled=1\n" + kLegacy + "IsInstalled=1\nVersion=7,0,0,0\n", 0},
    };
    for (const auto& [ini, version] : cases)
        EXPECT_EQ(Detect(ini), version) << ini;
}

TEST(PlayerVersionDetection, TheMachineHasTheModernPlayerOnlyWithAWorkingBackend)
{
    test::ScopedEnv noOverride(MachineInfo::kOverrideVariable, std::nullopt);
    EXPECT_EQ(DetectPlayerVersion(MachineInfo::ForThisMachine(true)), 9);
    EXPECT_EQ(DetectPlayerVersion(MachineInfo::ForThisMachine(false)), 7);
    EXPECT_TRUE(UsesModernPlayer(9));
    EXPECT_FALSE(UsesModernPlayer(7));
    EXPECT_FALSE(UsesModernPlayer(0));   // nothing found: the legacy control
}

TEST(PlayerVersionDetection, AnIniFileNamedByTheEnvironmentReplacesTheMachinesList)
{
    test::TempDir dir;
    test::WriteFile(dir / "machine.ini", std::string(kModern) + "IsInstalled=1\nVersion=11,0,5358,4827\n");
    test::ScopedEnv override(MachineInfo::kOverrideVariable, (dir / "machine.ini").string());
    EXPECT_EQ(DetectPlayerVersion(MachineInfo::ForThisMachine(false)), 11);

    test::ScopedEnv missing(MachineInfo::kOverrideVariable, (dir / "none.ini").string());
    EXPECT_EQ(DetectPlayerVersion(MachineInfo::ForThisMachine(true)), 0);
}

TEST(PlayerChoice, QuestionsNameTheChosenPlayerAndCautionWhenTheMachineLacksIt)
{
    EXPECT_EQ(player_choice::ConfirmQuestion(true, 9),
              "Are you sure that you want to change the media player used to Media Player 7?\r\n\r\n"
              "Caution: Media Player 7 does not support certain file types");
    EXPECT_EQ(player_choice::ConfirmQuestion(false, 9),
              "Are you sure that you want to change the media player used to Media Player 9?");
    EXPECT_EQ(player_choice::ConfirmQuestion(false, 7),
              "Are you sure that you want to change the media player used to Media Player 9?\r\n\r\n"
              "Caution: media player 9 support has not been detected on this computer");
    EXPECT_EQ(player_choice::RevertQuestion(7),
              "Are you sure that you would like to revert to the default media player?\r\n\r\n"
              "On this machine the default player is: Media Player 7");
    EXPECT_EQ(player_choice::RevertQuestion(9).substr(player_choice::RevertQuestion(9).size() - 14), "Media Player 9");
}

} // namespace
} // namespace velmora
