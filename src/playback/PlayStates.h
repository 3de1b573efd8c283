#pragma once

#include <optional>
#include <string_view>

namespace velmora {

// What Qt Multimedia's player reports, by Qt's own numbers (QMediaPlayer::PlaybackState
// and QMediaPlayer::MediaStatus), so that the table below needs no multimedia header.
enum class MediaPlayback { Stopped = 0, Playing = 1, Paused = 2 };
enum class MediaStatus { NoMedia = 0, Loading = 1, Loaded = 2, Stalled = 3, Buffering = 4, Buffered = 5, EndOfMedia = 6, Invalid = 7 };

// The modern player's play states (playState, OnPlayStateChange).
namespace modern_state {
inline constexpr int kStopped = 1;
inline constexpr int kPaused = 2;
inline constexpr int kPlaying = 3;
inline constexpr int kScanForward = 4;
inline constexpr int kScanBackward = 5;
inline constexpr int kBuffering = 6;
inline constexpr int kWaiting = 7;
inline constexpr int kMediaEnded = 8;
inline constexpr int kTransitioning = 9;
inline constexpr int kReady = 10;
inline constexpr int kReconnecting = 11;
} // namespace modern_state

// The legacy player's play states (PlayState, OnPlayStateChange).
namespace legacy_state {
inline constexpr int kStopped = 0;
inline constexpr int kPaused = 1;
inline constexpr int kPlaying = 2;
inline constexpr int kBuffering = 3;
inline constexpr int kMediaEnded = 4;
} // namespace legacy_state

// What the two player controls report for one condition of Qt's player: a play
// state of each, or (invalid media) an error instead of a state.
struct PlayerStateNumbers {
    std::optional<int> modern;   // nullopt: no state change to report
    std::optional<int> legacy;
    bool error = false;          // the modern control raises its error event
};

PlayerStateNumbers MapPlayerState(MediaPlayback playback, MediaStatus status);

// The menu check marks of "Stop", "Play" and "Pause".
struct PlayerMenuChecks {
    bool stop = false;
    bool play = false;
    bool pause = false;
    bool operator==(const PlayerMenuChecks&) const = default;
};

// What the main window does when a control reports a new play state.
struct PlayStateEffect {
    std::optional<std::string_view> text;     // for "statuslabel2"; nullopt: unchanged
    std::optional<PlayerMenuChecks> checks;   // nullopt: the marks are not touched
    bool mediaEnded = false;                  // MediaEnded := true
    bool clearCaption = false;                // the player panel's caption is cleared
    bool playing = false;                     // the first-play steps / the duration read
};

PlayStateEffect ModernPlayStateEffect(int newState);
PlayStateEffect LegacyPlayStateEffect(int newState);

} // namespace velmora
