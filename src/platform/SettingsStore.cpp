#include "platform/SettingsStore.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <charconv>
#include <stdexcept>

namespace velmora {

namespace {

QString Key(const std::string& section, const std::string& name)
{
    return QString::fromStdString(section) + u'/' + QString::fromStdString(name);
}

// Only a plain decimal number counts: optional minus sign, then digits, nothing else.
bool ParseDecimal(const std::string& text, int& value)
{
    if (text.empty())
        return false;
    const char* first = text.data();
    const char* last = first + text.size();
    int parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, 10);
    if (error != std::errc() || end != last)
        return false;
    value = parsed;
    return true;
}

} // namespace

SettingsStore::SettingsStore()
    : SettingsStore(DefaultFileName())
{
}

SettingsStore::SettingsStore(const std::string& fileName)
    : m_settings(std::make_unique<QSettings>(QString::fromStdString(fileName), QSettings::IniFormat))
{
}

SettingsStore::~SettingsStore() = default;

std::string SettingsStore::FileName() const
{
    return m_settings->fileName().toStdString();
}

std::string SettingsStore::DefaultFileName()
{
    // QStandardPaths reads XDG_CONFIG_HOME on every call (QSettings' own default path
    // is fixed at its first use in the process, which tests could not redirect).
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return (config + QStringLiteral("/Velmora/Velmora.ini")).toStdString();
}

bool SettingsStore::ValueExists(const std::string& section, const std::string& name) const
{
    return m_settings->contains(Key(section, name));
}

std::string SettingsStore::ReadString(const std::string& section, const std::string& name,
                                      const std::string& defaultValue) const
{
    const QVariant value = m_settings->value(Key(section, name));
    if (!value.isValid())
        return defaultValue;
    // A hand-edited value with an unquoted comma reads as a list; keep its text.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',').toStdString();
    return value.toString().toStdString();
}

int SettingsStore::ReadInteger(const std::string& section, const std::string& name,
                               int defaultValue) const
{
    int value = defaultValue;
    if (!ValueExists(section, name) || !ParseDecimal(ReadString(section, name, {}), value))
        return defaultValue;
    return value;
}

bool SettingsStore::ReadBool(const std::string& section, const std::string& name,
                             bool defaultValue) const
{
    return ReadInteger(section, name, defaultValue ? 1 : 0) != 0;
}

void SettingsStore::WriteString(const std::string& section, const std::string& name,
                                const std::string& value)
{
    m_settings->setValue(Key(section, name), QString::fromStdString(value));
}

void SettingsStore::WriteInteger(const std::string& section, const std::string& name, int value)
{
    WriteString(section, name, std::to_string(value));
}

void SettingsStore::WriteBool(const std::string& section, const std::string& name, bool value)
{
    WriteString(section, name, value ? "1" : "0");
}

void SettingsStore::DeleteValue(const std::string& section, const std::string& name)
{
    m_settings->remove(Key(section, name));
}

void SettingsStore::Flush()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        throw std::runtime_error("cannot write the settings file " + FileName());
}

} // namespace velmora
