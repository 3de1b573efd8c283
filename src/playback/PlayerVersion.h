#pragma once

#include <string_view>

namespace velmora {

class MachineInfo;

// Player versions: below 9 the legacy player control is hosted, from 9 on the modern one.
inline constexpr int kModernPlayerVersion = 9;
inline constexpr int kLegacyPlayerVersion = 7;

inline bool UsesModernPlayer(int playerVersion)
{
    return playerVersion >= kModernPlayerVersion;
}

// The major version in a component's version text: the decimal number before the
// first comma ("9,0,0,2980" gives 9); 0 without a comma or when that part is not a
// number.
int MajorVersionOf(std::string_view versionText);

// The highest player version installed on the machine: the modern component's when it
// is installed with a readable version, else the legacy component's. A value that is
// missing or of the wrong kind ends the detection with 0.
int DetectPlayerVersion(const MachineInfo& machine);

} // namespace velmora
