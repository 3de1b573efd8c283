// The Playing page's player: the host that owns the control, the bottom bar's
// " Full Screen" button, the player choice on the Settings page, the lock's player
// step, and the stand-in play list until the play list arrives.
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

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(mainList->DetailView()),
                                    static_cast<QAbstractItemView*>(mainList->ThumbnailView())}) {
        connect(view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
            const ItemKind kind = ItemKindOf(mainList->CellText(index.row(), ItemListView::ColFilename).toStdString());
            if (kind == ItemKind::Video || kind == ItemKind::Audio)
                PlayListedItem(mainList->IdentAt(index.row()));
        });
    }
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

// ---- the stand-in play list ----

void TfrmMain::PlayListedItem(int recIdent)
{
    m_standInItem = recIdent;
    btnFullScreen->setEnabled(true);
    PlayPlaylist();
}

void TfrmMain::PlayPlaylist()
{
    if (m_standInItem == 0)
        return;
    m_playlistActive = true;
    m_skin->ShowButtonPressed(QStringLiteral("tab1"));
    ShowPage(1);
    update();
    m_player->PlayItem(m_standInItem);
    m_player->RefreshPlayerFocus();
}

void TfrmMain::PlayNextItem()
{
    // The play list's: a list of one entry has no next one.
}

void TfrmMain::PlayPreviousItem()
{
    // The play list's.
}

} // namespace velmora
