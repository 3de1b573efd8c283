#include "playback/PlayerScales.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace velmora {

long long RoundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double fraction = value - floor;
    auto result = static_cast<long long>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0))
        ++result;
    return result;
}

std::string FormatPlayTime(double seconds)
{
    // A time past any real item (or not a number) is shown as none rather than overflowing.
    const long long whole = std::isfinite(seconds) ? std::max(0LL, RoundHalfEven(std::min(seconds, 1e12))) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld", whole / 60, whole % 60);
    return text;
}

std::optional<int> PositionBarValue(double position, double duration)
{
    if (!(duration > 0) || !std::isfinite(position) || !std::isfinite(duration))
        return std::nullopt;
    const double bar = std::clamp(position / duration * kPositionBarMaximum, 0.0, double(kPositionBarMaximum));
    return static_cast<int>(RoundHalfEven(bar));
}

double BarPosition(double duration, int barValue)
{
    return duration * barValue / kPositionBarMaximum;
}

int LegacyVolume(int sliderValue)
{
    return static_cast<int>(RoundHalfEven(sliderValue * 96.4 - 9640));
}

} // namespace velmora
