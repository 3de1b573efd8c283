#include "playback/PlayerVersion.h"

#include "platform/MachineInfo.h"

#include <charconv>

namespace velmora {

int MajorVersionOf(std::string_view versionText)
{
    const auto comma = versionText.find(',');
    if (comma == std::string_view::npos || comma == 0)
        return 0;
    const std::string_view major = versionText.substr(0, comma);
    int value = 0;
    const auto [stop, error] = std::from_chars(major.data(), major.data() + major.size(), value);
    if (error != std::errc() || stop != major.data() + major.size() || value < 0)
        return 0;
    return value;
}

int DetectPlayerVersion(const MachineInfo& machine)
{
    try {
        int version = 0;
        if (const auto modern = machine.OpenInstalledComponent(MachineInfo::kModernPlayerClassId)) {
            if (modern->ReadInteger("IsInstalled") == 1)
                version = MajorVersionOf(modern->ReadString("Version"));
        }
        if (version == 0) {
            if (const auto legacy = machine.OpenInstalledComponent(MachineInfo::kLegacyPlayerClassId)) {
                if (legacy->ReadInteger("IsInstalled") == 1)
                    version = MajorVersionOf(legacy->ReadString("Version"));
            }
        }
        return version;
    } catch (const MachineInfoError&) {
        return 0;
    }
}

} // namespace velmora
