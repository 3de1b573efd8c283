#include "integration/ShellBridge.h"

#include "integration/FileManagerEntries.h"
#include "integration/ShellControlForm.h"
#include "platform/SettingsStore.h"
#include "settings/RegistryValues.h"

#include <iostream>
#include <stdexcept>

namespace velmora {

ShellBridge::ShellBridge(QObject* parent)
    : QObject(parent)
{
    ReadSettings(SettingsStore());
}

ShellBridge::~ShellBridge() = default;

void ShellBridge::ReadSettings(const SettingsStore& store)
{
    m_menuText = registry::kShellMenuText.Read(store);
    m_enabled = registry::kShellExtensionEnabled.Read(store);
}

void ShellBridge::CreateShellControlForm()
{
    if (m_controlForm)
        return;
    auto form = std::make_unique<TfrmControlForm>([this] { return m_menuText; });
    // A window that cannot be made (another program's of the same caption, or no
    // private runtime folder) is no window: the entry is simply not offered.
    if (form->Create())
        m_controlForm = std::move(form);
}

void ShellBridge::FreeShellControlForm()
{
    m_controlForm.reset();
}

bool ShellBridge::ControlFormExists() const
{
    return m_controlForm && m_controlForm->Exists();
}

void ShellBridge::LibraryOpened()
{
    m_libraryOpen = true;
    if (m_enabled)
        CreateShellControlForm();
    else
        FreeShellControlForm();
}

void ShellBridge::LibraryLocked()
{
    m_activeAtLock = ControlFormExists();
    FreeShellControlForm();
}

void ShellBridge::LibraryUnlocked()
{
    if (m_activeAtLock)
        CreateShellControlForm();
}

void ShellBridge::SettingsApplied()
{
    ReadSettings(SettingsStore());
    // The file managers' entries carry the new text; one they cannot take keeps the old.
    try {
        FollowMenuText(m_menuText, FileManagerEntryPaths::ForUser());
    } catch (const std::runtime_error& failure) {
        std::cerr << "velmora: " << failure.what() << '\n';
    }
    if (m_enabled)
        CreateShellControlForm();
    else
        FreeShellControlForm();
}

} // namespace velmora
