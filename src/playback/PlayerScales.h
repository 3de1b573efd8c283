#pragma once

#include <optional>
#include <string>

namespace velmora {

// The player's numbers as the skins show them. Every value taken to the nearest
// integer here rounds an exact half to the even neighbour.

inline constexpr int kPositionBarMaximum = 10000;

// Nearest integer, halves to even (58.5 gives 58, 59.5 gives 60).
long long RoundHalfEven(double value);

// The time text "mm:ss" of a position in seconds: whole minutes (at least two digits,
// no hour field: 3725 s reads 62:05) and seconds. A negative time reads 00:00.
std::string FormatPlayTime(double seconds);

// The position bar's value (0..10000) for a position of an item that lasts duration
// seconds; nullopt while the duration is not above 0.
std::optional<int> PositionBarValue(double position, double duration);

// The position in seconds that a bar value stands for in an item of that duration.
double BarPosition(double duration, int barValue);

// The legacy player's volume, in hundredths of a decibel, for a slider value 0..100:
// v × 96.4 − 9640 (0 gives −9640, 100 gives 0).
int LegacyVolume(int sliderValue);

} // namespace velmora
