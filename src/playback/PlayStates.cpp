#include "playback/PlayStates.h"

#include <array>

namespace velmora {

namespace {

// Qt's player conditions and the play states they stand for. The first row whose
// status and playback state match is taken (an absent playback state matches any).
struct StateRow {
    MediaStatus status;
    std::optional<MediaPlayback> playback;
    PlayerStateNumbers numbers;
};

using P = MediaPlayback;
using S = MediaStatus;
namespace m = modern_state;
namespace l = legacy_state;

constexpr std::array<StateRow, 15> kStateTable{{
    // Nothing open: the modern control is ready for a URL; the legacy one reports
    // its stop when it is stopped, not when its file name is cleared.
    {S::NoMedia, std::nullopt, {m::kReady, std::nullopt, false}},
    // Opening: the stream is being connected and its header read.
    {S::Loading, std::nullopt, {m::kTransitioning, l::kBuffering, false}},
    {S::EndOfMedia, std::nullopt, {m::kMediaEnded, l::kMediaEnded, false}},
    {S::Invalid, std::nullopt, {std::nullopt, std::nullopt, true}},
    {S::Loaded, P::Playing, {m::kPlaying, l::kPlaying, false}},
    {S::Buffered, P::Playing, {m::kPlaying, l::kPlaying, false}},
    {S::Buffering, P::Playing, {m::kBuffering, l::kBuffering, false}},
    {S::Stalled, P::Playing, {m::kWaiting, l::kBuffering, false}},
    {S::Loaded, P::Paused, {m::kPaused, l::kPaused, false}},
    {S::Buffered, P::Paused, {m::kPaused, l::kPaused, false}},
    {S::Buffering, P::Paused, {m::kPaused, l::kPaused, false}},
    {S::Stalled, P::Paused, {m::kPaused, l::kPaused, false}},
    // Stopped with media open: after a stop, or opened without starting.
    {S::Loaded, P::Stopped, {m::kStopped, l::kStopped, false}},
    {S::Buffered, P::Stopped, {m::kStopped, l::kStopped, false}},
    {S::Buffering, P::Stopped, {m::kStopped, l::kStopped, false}},
}};

} // namespace

PlayerStateNumbers MapPlayerState(MediaPlayback playback, MediaStatus status)
{
    for (const StateRow& row : kStateTable) {
        if (row.status == status && (!row.playback || *row.playback == playback))
            return row.numbers;
    }
    // A stalled stream that is stopped has nothing new to say.
    return {};
}

PlayStateEffect ModernPlayStateEffect(int newState)
{
    PlayStateEffect effect;
    switch (newState) {
    case m::kStopped:
        effect.text = "Stopped";
        effect.clearCaption = true;
        effect.checks = PlayerMenuChecks{true, false, false};
        break;
    case m::kPaused:
        effect.text = "Paused";
        effect.checks = PlayerMenuChecks{false, false, true};
        break;
    case m::kPlaying:
        effect.text = "Playing";
        effect.checks = PlayerMenuChecks{false, true, false};
        effect.playing = true;
        break;
    case m::kScanForward: effect.text = "Scan Forward"; break;
    case m::kScanBackward: effect.text = "Scan Backward"; break;
    case m::kBuffering: effect.text = "Buffering ..."; break;
    case m::kWaiting: effect.text = "Waiting ..."; break;
    case m::kMediaEnded:
        effect.text = "Media Ended";
        effect.mediaEnded = true;
        effect.checks = PlayerMenuChecks{true, false, false};
        break;
    case m::kTransitioning: effect.text = "Busy Please Wait ..."; break;
    case m::kReady: effect.text = "Ready"; break;
    case m::kReconnecting: effect.text = "Reconnecting"; break;
    default: break;
    }
    return effect;
}

PlayStateEffect LegacyPlayStateEffect(int newState)
{
    PlayStateEffect effect;
    switch (newState) {
    case l::kStopped:
        effect.text = "Stopped";
        effect.mediaEnded = true;
        break;
    case l::kPaused: effect.text = "Paused"; break;
    case l::kPlaying:
        effect.text = "Playing";
        effect.playing = true;
        break;
    case l::kBuffering: effect.text = "Buffering ..."; break;
    case l::kMediaEnded:
        effect.text = "Media Ended";
        effect.mediaEnded = true;
        break;
    default: break;
    }
    return effect;
}

} // namespace velmora
