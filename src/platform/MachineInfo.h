#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

// A value of an installed component that is missing or not of the kind asked for.
class MachineInfoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One entry of the machine's list of installed components: named values, each read
// as a text or as an integer.
class InstalledComponent {
public:
    explicit InstalledComponent(std::map<std::string, std::string> values) : m_values(std::move(values)) {}

    // Throws MachineInfoError when the value is missing.
    std::string ReadString(std::string_view name) const;
    // Throws MachineInfoError when the value is missing or not a decimal integer.
    int ReadInteger(std::string_view name) const;

private:
    std::map<std::string, std::string> m_values;   // names in lower case
};

// What the machine has installed, as player detection asks it: per component class
// identifier ("{6BF52A52-...}", compared without case) an entry with "IsInstalled"
// and "Version". On Linux the two media player components stand for Qt Multimedia:
// the modern one is installed with version "9,0,0,0" when Qt Multimedia has a working
// backend, the legacy one with "7,0,0,0" always.
//
// An INI file named by VELMORA_MACHINE_INFO replaces that list whole (tests use it):
// each section is a class identifier in brackets, each line "name=value".
class MachineInfo {
public:
    static constexpr const char* kOverrideVariable = "VELMORA_MACHINE_INFO";
    static constexpr std::string_view kModernPlayerClassId = "{6BF52A52-394A-11d3-B153-00C04F79FAA6}";
    static constexpr std::string_view kLegacyPlayerClassId = "{22d6f312-b0f6-11d0-94ab-0080c74c7e95}";

    // This machine: the INI file of the override variable when it is set, else the
    // built-in list with the modern player present when modernPlayerBackend holds.
    static MachineInfo ForThisMachine(bool modernPlayerBackend);
    // The list in INI text (an unreadable file is an empty list).
    static MachineInfo FromIniText(std::string_view text);

    // The component's entry, or nullopt when the machine has none; never creates one.
    std::optional<InstalledComponent> OpenInstalledComponent(std::string_view classId) const;

private:
    std::map<std::string, std::map<std::string, std::string>> m_components;   // keys in lower case
};

} // namespace velmora
