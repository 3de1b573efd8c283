// The Settings page inside the main window: the page itself lives in settings/; the
// window keeps the described operations as calls into it and runs with what the page
// hands over.
#include "app/MainWindow.h"

#include "app/CategoryHandlers.h"
#include "app/LibraryOperations.h"
#include "app/MainLock.h"

#include "app/ItemListView.h"
#include "catalogue/Categories.h"
#include "catalogue/FileImport.h"
#include "integration/ShellBridge.h"
#include "playback/ImageAspect.h"
#include "playback/Playlist.h"
#include "playback/Preview.h"
#include "settings/LibraryOptions.h"
#include "settings/RegistryValues.h"
#include "settings/SettingsPage.h"
#include "settings/UserSettings.h"

#include <QAction>
#include <QVBoxLayout>

namespace velmora {

void TfrmMain::CreateSettingsPage()
{
    settingsPage = new SettingsPage(*this, *m_boxes, *m_fileDialogs, tab3);
    auto* layout = new QVBoxLayout(tab3);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(settingsPage);
    playerSettings = settingsPage->playerSettings;
    connect(settingsPage, &SettingsPage::ChangePasswordRequested, this, &TfrmMain::doChangePassword);
}

void TfrmMain::LoadSettings()
{
    settingsPage->LoadSettings();
}

void TfrmMain::SaveSettings()
{
    settingsPage->SaveSettings();
}

void TfrmMain::SetSettingsChanged(bool changed)
{
    settingsPage->SetSettingsChanged(changed);
}

void TfrmMain::ConfirmSaveSettings()
{
    settingsPage->ConfirmSaveSettings();
}

void TfrmMain::ShowSettingsPage(int page)
{
    settingsPage->ShowSettingsPage(page);
}

void TfrmMain::SetPlaylistRepeat(bool on)
{
    ShowPlaylistSwitches(on, m_playlist->PlaylistShuffle);
    settingsPage->StoreSwitchNow(registry::kPlaylistRepeat, on);
}

void TfrmMain::SetPlaylistShuffle(bool on)
{
    ShowPlaylistSwitches(m_playlist->PlaylistRepeat, on);
    settingsPage->StoreSwitchNow(registry::kPlaylistShuffle, on);
}

void TfrmMain::SetSlideshowCycle(bool on)
{
    m_preview->SlideshowCycle = on;
    settingsPage->StoreSwitchNow(registry::kSlideshowCycle, on);
}

void TfrmMain::MonitoredItemAdded()
{
    if (!m_categories->TreeBuilt() || m_lock->Locked() || m_operations->DeletingRows() ||
        SelectedNodeId() != kUnclassifiedId)
        return;
    // The list is filled again under the user's hands: what was selected stays so.
    const std::vector<int> selected = mainList->SelectedIdents();
    ListSelectedNode();
    if (selected.size() == 1)
        mainList->SelectIdent(selected.front());
}

void TfrmMain::ApplyUserSettings(const UserSettings& settings)
{
    ShowPlaylistSwitches(settings.playlistRepeat, settings.playlistShuffle);
    m_preview->SlideshowCycle = settings.slideshowCycle;
    m_preview->SlideshowHideControls = settings.slideshowHideControls;
    // The shell bridge reads its two values again when the page says it has applied.
}

const std::string& TfrmMain::ShellMenuText() const
{
    return m_shellBridge->MenuText();
}

bool TfrmMain::ShellExtensionEnabled() const
{
    return m_shellBridge->Enabled();
}

void TfrmMain::ApplyLibraryOptions(const LibraryOptions& options)
{
    // The next drop reads "delete source files by default" afresh.
    m_fileImport->DeletionOptions().Forget();
    SetApplicationTitle(QString::fromStdString(options.caption));
    picture->SetScalePast100(options.scalePast100);
    ApplyThumbnailSwitch(options.enableThumb);
}

} // namespace velmora
