#include "platform/MachineInfo.h"

#include "store/AsciiText.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace velmora {

namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

} // namespace

std::string InstalledComponent::ReadString(std::string_view name) const
{
    const auto found = m_values.find(AsciiLower(name));
    if (found == m_values.end())
        throw MachineInfoError("the component has no value " + std::string(name));
    return found->second;
}

int InstalledComponent::ReadInteger(std::string_view name) const
{
    const std::string text = ReadString(name);
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end)
        throw MachineInfoError("the value " + std::string(name) + " of the component is not an integer");
    return value;
}

MachineInfo MachineInfo::ForThisMachine(bool modernPlayerBackend)
{
    if (const char* file = std::getenv(kOverrideVariable); file != nullptr && *file != '\0') {
        std::ifstream in(file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return FromIniText(text.str());
    }
    MachineInfo machine;
    if (modernPlayerBackend)
        machine.m_components[AsciiLower(kModernPlayerClassId)] = {{"isinstalled", "1"}, {"version", "9,0,0,0"}};
    machine.m_components[AsciiLower(kLegacyPlayerClassId)] = {{"isinstalled", "1"}, {"version", "7,0,0,0"}};
    return machine;
}

MachineInfo MachineInfo::FromIniText(std::string_view text)
{
    MachineInfo machine;
    std::map<std::string, std::string>* section = nullptr;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        const std::string_view line = Trimmed(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            section = &machine.m_components[AsciiLower(Trimmed(line.substr(1, line.size() - 2)))];
            continue;
        }
        const auto equals = line.find('=');
        if (section == nullptr || equals == std::string_view::npos)
            continue;
        (*section)[AsciiLower(Trimmed(line.substr(0, equals)))] = std::string(Trimmed(line.substr(equals + 1)));
    }
    return machine;
}

std::optional<InstalledComponent> MachineInfo::OpenInstalledComponent(std::string_view classId) const
{
    const auto found = m_components.find(AsciiLower(classId));
    if (found == m_components.end())
        return std::nullopt;
    return InstalledComponent(found->second);
}

} // namespace velmora
