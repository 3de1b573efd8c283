#pragma once

#include <QObject>

#include <memory>
#include <string>

namespace velmora {

class SettingsStore;
class TfrmControlForm;

// The program's side of the file managers' "Add To Velmora" entry: the two user
// settings that govern it and the control window, which exists only while the library
// is open, not locked, and the entry is enabled.
class ShellBridge : public QObject {
    Q_OBJECT
public:

    // Reads the settings from the per-user store.
    explicit ShellBridge(QObject* parent = nullptr);
    ~ShellBridge() override;

    const std::string& MenuText() const { return m_menuText; }
    bool Enabled() const { return m_enabled; }
    // The switch applies while the library is open behind the password (locked or not);
    // a windowless start adds whatever it says.
    bool RefusesAdds() const { return m_libraryOpen && !m_enabled; }

    // The control window: made if there is none, freed if there is one.
    void CreateShellControlForm();
    void FreeShellControlForm();
    bool ControlFormExists() const;

    // The moments the control window comes and goes.
    // The library was opened behind the password gate.
    void LibraryOpened();
    // The lock: remembers whether the window was there, then frees it.
    void LibraryLocked();
    // The password was given again: the window comes back if it was there at the lock.
    void LibraryUnlocked();

public slots:
    // The Settings page has written "shellextext" and "shellextenb" to the settings
    // store: both are read again, the file managers' entries take the text, and the
    // window is made or freed by the new switch.
    void SettingsApplied();

private:
    void ReadSettings(const SettingsStore& store);

    std::string m_menuText;
    bool m_enabled = true;
    bool m_libraryOpen = false;
    bool m_activeAtLock = false;
    std::unique_ptr<TfrmControlForm> m_controlForm;
};

} // namespace velmora
