#include "settings/RegistryValues.h"

namespace velmora {

std::string TextValue::Read(const SettingsStore& store) const
{
    return store.ReadString(section, name, defaultValue());
}

void TextValue::Write(SettingsStore& store, const std::string& value) const
{
    store.WriteString(section, name, value);
}

bool SwitchValue::Read(const SettingsStore& store) const
{
    return store.ReadBool(section, name, defaultValue);
}

void SwitchValue::Write(SettingsStore& store, bool on) const
{
    store.WriteBool(section, name, on);
}

int NumberValue::Read(const SettingsStore& store) const
{
    return Read(store, defaultValue);
}

int NumberValue::Read(const SettingsStore& store, int fallback) const
{
    return store.ReadInteger(section, name, fallback);
}

void NumberValue::Write(SettingsStore& store, int value) const
{
    store.WriteInteger(section, name, value);
}

namespace registry {

std::string NoText()
{
    return {};
}

std::string DefaultShellMenuText()
{
    return "Add To Velmora";
}

} // namespace registry

} // namespace velmora
