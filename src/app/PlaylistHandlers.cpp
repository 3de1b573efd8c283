// The play list: the control on the Playing and the Library page, its menus, drops
// from the item list, and the player it drives.
#include "app/MainWindow.h"

#include "app/ItemListView.h"
#include "app/PlaylistPlayerPort.h"
#include "platform/Skin.h"
#include "playback/PlayerHost.h"
#include "playback/Playlist.h"
#include "playback/PlaylistView.h"
#include "playback/RandomSource.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace velmora {

namespace {

QAction* Entry(QWidget* owner, const char* name)
{
    return owner->findChild<QAction*>(QLatin1String(name));
}

} // namespace

void TfrmMain::ConnectPlaylistHandlers()
{
    m_playlistPlayer = std::make_unique<PlaylistPlayerPort>(*m_player, *m_skin, [this] {
        m_skin->ShowButtonPressed(QStringLiteral("tab1"));
        ShowPage(1);
        update();
    });
    m_random = std::make_unique<ClockRandom>();
    m_playlist = std::make_unique<Playlist>(*m_playlistPlayer, *m_random);
    m_playlist->plTimer.setObjectName(QStringLiteral("plTimer"));
    playlist->SetPlaylist(m_playlist.get());

    // Every change of the number of entries: " Full Screen" needs one to show.
    btnFullScreen->setEnabled(false);
    connect(m_playlist.get(), &Playlist::CountChanged, this, [this](int count) { btnFullScreen->setEnabled(count > 0); });

    connect(playlist, &QAbstractItemView::doubleClicked, this, &TfrmMain::playlistDblClick);
    connect(playlist, &PlaylistView::DeleteReleased, this, &TfrmMain::RemoveSelectedPlaylistItem);
    connect(playlist, &PlaylistView::ListItemsDropped, this, &TfrmMain::PlayListDropTargetDrop);
    for (const char* name : {"RemoveItem1", "RemoveItem2"})
        connect(Entry(this, name), &QAction::triggered, this, &TfrmMain::RemoveItem1Click);
    for (const char* name : {"ClearAll1", "RemoveAll1"})
        connect(Entry(this, name), &QAction::triggered, this, &TfrmMain::ClearAll1Click);
    for (QAction* entry : {Repeat1, Repeat2})
        connect(entry, &QAction::triggered, this, &TfrmMain::Repeat1Click);
    for (QAction* entry : {Shuffle1, Shuffle2})
        connect(entry, &QAction::triggered, this, &TfrmMain::Shuffle1Click);
    connect(Entry(this, "AddFilestoPlayList1"), &QAction::triggered, this, &TfrmMain::AddFilestoPlayList1Click);
}

void TfrmMain::ShowPlaylistSwitches(bool repeat, bool shuffle)
{
    m_playlist->PlaylistRepeat = repeat;
    m_playlist->PlaylistShuffle = shuffle;
    Repeat1->setChecked(repeat);
    Repeat2->setChecked(repeat);
    Shuffle1->setChecked(shuffle);
    Shuffle2->setChecked(shuffle);
}

bool TfrmMain::PlaylistActive() const
{
    return m_playlist->PlaylistActive();
}

bool TfrmMain::AddToPlaylist(int listRow, int position)
{
    const bool legacy = m_player->LegacyPlayer() != nullptr;
    if (!AddableToPlaylist(mainList->CellText(listRow, ItemListView::ColFilename).toStdString(), legacy))
        return false;
    const int index = m_playlist->Insert(
        position, mainList->CellText(listRow, ItemListView::ColDescription).toStdString(), mainList->IdentAt(listRow));
    playlist->SelectIndex(index);
    return true;
}

void TfrmMain::SetCurrentPlaylistIndex(int index)
{
    m_playlist->SetCurrentPlaylistIndex(index);
}

void TfrmMain::SetPlaylistActive(bool active)
{
    m_playlist->SetPlaylistActive(active);
}

void TfrmMain::PlayPlaylist()
{
    m_playlist->PlayPlaylist();
}

void TfrmMain::PlayCurrentItem()
{
    m_playlist->PlayCurrentItem();
}

void TfrmMain::PlayRandomItem()
{
    m_playlist->PlayRandomItem();
}

void TfrmMain::PlayNextItem()
{
    m_playlist->PlayNextItem();
}

void TfrmMain::PlayPreviousItem()
{
    m_playlist->PlayPreviousItem();
}

void TfrmMain::ResetPlayedMarks()
{
    m_playlist->ResetPlayedMarks();
}

void TfrmMain::RemoveSelectedPlaylistItem()
{
    const int selected = playlist->SelectedIndex();
    if (selected >= 0)
        m_playlist->Remove(selected);
}

void TfrmMain::AddFilestoPlayList1Click()
{
    for (int row = 0; row < mainList->RowCount(); ++row)
        if (mainList->IsRowSelected(row))
            AddToPlaylist(row, m_playlist->Count() - 1);
}

void TfrmMain::PlayListDropTargetDrop(int dropIndex)
{
    for (int row = 0; row < mainList->RowCount(); ++row) {
        if (!mainList->IsRowSelected(row))
            continue;
        if (dropIndex < 0) {
            AddToPlaylist(row, m_playlist->Count() - 1);
        } else if (AddToPlaylist(row, dropIndex)) {
            // The next one goes after this one: the items keep their list order.
            ++dropIndex;
        }
    }
}

void TfrmMain::playlistDblClick()
{
    const int selected = playlist->SelectedIndex();
    if (selected < 0)
        return;
    SetCurrentPlaylistIndex(selected);
    PlayPlaylist();
}

void TfrmMain::RemoveItem1Click()
{
    RemoveSelectedPlaylistItem();
}

void TfrmMain::ClearAll1Click()
{
    m_playlist->Clear();
    m_player->ClearTime();
}

void TfrmMain::Repeat1Click()
{
    SetPlaylistRepeat(!m_playlist->PlaylistRepeat);
}

void TfrmMain::Shuffle1Click()
{
    SetPlaylistShuffle(!m_playlist->PlaylistShuffle);
}

void TfrmMain::StopPlaylistForOperation()
{
    m_playlist->plTimer.stop();
    SetPlaylistActive(false);
    m_player->SetPlayerVisible(false);
}

} // namespace velmora
