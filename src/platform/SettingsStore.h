#pragma once

#include <memory>
#include <string>

class QSettings;

namespace velmora {

// The per-user settings of the program, kept where the desktop keeps them: an INI
// file "Velmora/Velmora.ini" under $XDG_CONFIG_HOME (else ~/.config), read again from
// the environment each time a store is made, so tests point it at a temporary folder.
// Values sit in the sections "Settings" and "Screen"; every value is a string:
// numbers in decimal, switches "1" or "0".
class SettingsStore {
public:
    static constexpr const char* kSettings = "Settings";
    static constexpr const char* kScreen = "Screen";

    // The per-user file described above.
    SettingsStore();
    // A store on the given INI file.
    explicit SettingsStore(const std::string& fileName);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The file the store reads and writes.
    std::string FileName() const;
    // $XDG_CONFIG_HOME/Velmora/Velmora.ini (or ~/.config/...), as of now.
    static std::string DefaultFileName();

    bool ValueExists(const std::string& section, const std::string& name) const;
    // The stored string, or defaultValue when the value is absent.
    std::string ReadString(const std::string& section, const std::string& name,
                           const std::string& defaultValue) const;
    // The stored decimal number; an absent, empty, non-decimal or out-of-range value
    // yields defaultValue.
    int ReadInteger(const std::string& section, const std::string& name, int defaultValue) const;
    // A switch is on when its number is not 0 ("2" is on); absent or malformed values
    // yield defaultValue.
    bool ReadBool(const std::string& section, const std::string& name, bool defaultValue) const;

    void WriteString(const std::string& section, const std::string& name, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& name, int value);
    void WriteBool(const std::string& section, const std::string& name, bool value);
    void DeleteValue(const std::string& section, const std::string& name);

    // Writes pending changes to the file now (they are also written when the store goes).
    // Throws std::runtime_error when the file cannot be written.
    void Flush();

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace velmora
