// The Playing page's player: the host that owns the control, the bottom bar's
// " Full Screen" button, the player choice on the Settings page, the lock's player
// step.
#include "app/MainWindow.h"

#include "app/ItemListView.h"
#include "catalogue/ItemKind.h"
#include "platform/MachineInfo.h"
#include "platform/SettingsStore.h"
#include "platform/Skin.h"
#include "playback/MediaEngine.h"
#include "playback/PlayerHost.h"
#include "playback/PlayerVersion.h"
#include "settings/PlayerSettingsGroup.h"
#include "settings/RegistryValues.h"

#include <QAction>
#include <QLabel>
#include <QListView>
#include <QToolButton>
#include <QTreeView>

namespace velmora {

void TfrmMain::ConnectPlayerHandlers()
{
    PlayerHostParts parts;
    parts.mainWindow = this;
    parts.mainSkin = m_skin.get();
    parts.pnlMoviePlayer = pnlMoviePlayer;
    parts.pnlMoviePlayerCaption = pnlMoviePlayer->findChild<QLabel*>(QStringLiteral("lblMoviePlayer"));
    parts.Play1 = Play1;
    parts.Pause1 = Pause1;
    parts.Stop1 = Stop1;
    parts.Next1 = findChild<QAction*>(QStringLiteral("Next1"));
    parts.Previous1 = findChild<QAction*>(QStringLiteral("Previous1"));
    parts.Mute1 = Mute1;
    parts.actViewSlideshow = actViewSlideshow;
    parts.lblErrMessage1 = lblErrMessage1;
    parts.library = &m_library;
    parts.streamServer = m_streamServer.get();
    parts.boxes = m_boxes;
    parts.playlist = this;
    m_player = std::make_unique<PlayerHost>(parts);

    connect(btnFullScreen, &QToolButton::clicked, this, [this] { SetFullScreen(true); });   // btnFullScreenClick
    btnFullScreen->setToolTip(QStringLiteral("Switch to full screen mode"));

}

// The player part of LoadSettings: the machine's default player, the configured one.
void TfrmMain::LoadPlayerSettings()
{
    PlayerHost& player = *m_player;
    player.DefaultPlayerVersion = DetectPlayerVersion(MachineInfo::ForThisMachine(TMediaEngine::BackendAvailable()));
    SetPlayerVersion(registry::kMediaPlayerVersion.Read(SettingsStore(), player.DefaultPlayerVersion));
}

void TfrmMain::SetPlayerVersion(int version)
{
    m_player->SetPlayerVersion(version);
    playerSettings->ShowPlayerVersions(version, m_player->DefaultPlayerVersion);
}

bool TfrmMain::CreatePlayer()
{
    return m_player->CreatePlayer();
}

void TfrmMain::OpenMediaItem(int ident)
{
    m_player->OpenMediaItem(ident);
}

void TfrmMain::StopAndClearPlayer()
{
    m_player->StopAndClearPlayer();
}

void TfrmMain::SetFullScreen(bool on)
{
    m_player->SetFullScreen(on);
}

void TfrmMain::LockPlayer()
{
    try {
        m_player->StopForLock();
    } catch (const std::exception&) {
        // An error while stopping the player does not keep the program unlocked.
    }
}

} // namespace velmora
